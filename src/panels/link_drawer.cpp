#include "panels/link_drawer.h"

#include <cstring>

#include "actions/browser.h"
#include "panels/panel_action.h"

namespace {
constexpr char kCommandPrefix[] = "QUILLONBUTTON:";
constexpr char kDownloadPrefix[] = "QUILLONBUTTON:DOWNLOAD:";

template <size_t N>
bool StartsWith(const char* text, const char (&prefix)[N]) {
    return std::strncmp(text, prefix, N - 1) == 0;
}
}  // namespace

// A plain link sinks the panel and opens in the browser;
// "QUILLONBUTTON:DOWNLOAD:" and an address hands the address to the
// download agent through the spare button; any other "QUILLONBUTTON:"
// command does nothing.
void CLinkDrawer::OnClick() {
    if (!StartsWith(m_szLink, kCommandPrefix)) {
        PostMessageA(m_owner, WM_PANEL_ACTION, kPanelActionLeave, reinterpret_cast<LPARAM>(this));
        OpenInBrowser(m_szLink);
        return;
    }
    if (!StartsWith(m_szLink, kDownloadPrefix)) return;
    m_spare.SetAction("DOWNLOAD", m_szLink + sizeof kDownloadPrefix - 1);
    PostMessageA(m_owner, WM_PANEL_ACTION, kPanelActionRun, reinterpret_cast<LPARAM>(&m_spare));
}
