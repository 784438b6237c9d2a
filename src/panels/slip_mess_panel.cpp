#include "panels/slip_mess_panel.h"

#include <memory>

#include "panels/full_screen.h"
#include "platform/platform.h"
#include "store/show_data_list.h"

void CSlipMessPanel::TryShowTip() {
    if (Window() == nullptr || m_store == nullptr) return;
    if (IsWindowVisible(Window())) return;
    // Held back, a tip stays queued for a later tick.
    if (IsForegroundFullScreen() || IsUserBusy()) return;
    if (!m_store->IsReady()) return;
    const int32_t now = platform::Now();
    if (m_nInterval == 0) m_nInterval = kDefaultIntervalMinutes;
    if (int64_t{now} - m_tLastShow < int64_t{m_nInterval} * 60) return;

    platform::DebugLine("CSlipMessPanel begin to GetOneShowData");
    std::unique_ptr<TipRecord> tip(m_store->GetOneShowData(1));
    platform::DebugLine("CSlipMessPanel GetOneShowData finish");
    if (!tip) return;
    platform::DebugLine("CSlipMessPanel Get One Data to show");
    platform::DebugLine("CSlipMessPanel begin to ShowPanel");
    ShowTip(*tip, tip->nShowSeconds);
    platform::DebugLine("CSlipMessPanel ShowPanel Finish");
    m_tLastShow = platform::Now();
}
