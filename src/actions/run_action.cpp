#include "actions/run_action.h"

#include <cstring>

#include "actions/agent_download.h"
#include "actions/browser.h"
#include "panels/panel_action.h"

void RunAction(HWND panelWindow, LPARAM panel, const char* keyword, const char* url) {
    if (keyword == nullptr || url == nullptr || keyword[0] == '\0' || url[0] == '\0') return;
    // Without a window a post would land in the host thread's own queue.
    if (panelWindow != nullptr) PostMessageA(panelWindow, WM_PANEL_ACTION, kPanelActionLeave, panel);
    if (std::strcmp(keyword, "OPENURL") == 0) {
        OpenInBrowser(url);
    } else if (std::strcmp(keyword, "DOWNLOAD") == 0) {
        DownloadThroughAgent(url);
    }
}
