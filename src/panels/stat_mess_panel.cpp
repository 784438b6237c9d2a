#include "panels/stat_mess_panel.h"

#include <memory>

#include "platform/platform.h"
#include "store/show_data_list.h"

void CStatMessPanel::TryShowTip() {
    if (Window() == nullptr || m_store == nullptr) return;
    if (IsWindowVisible(Window())) return;
    std::unique_ptr<TipRecord> tip(m_store->GetOneShowData(0));
    if (!tip) return;
    platform::DebugLine("CStatMessPanel Get One Data to show");
    ShowTip(*tip, 0);
}
