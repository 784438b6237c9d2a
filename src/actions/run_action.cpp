#include "actions/run_action.h"

#include <cstring>

#include "actions/agent_call_sequence.h"
#include "actions/browser.h"

void RunAction(const char* keyword, const char* url) {
    if (keyword == nullptr || url == nullptr || url[0] == '\0') return;
    if (std::strcmp(keyword, "OPENURL") == 0) {
        OpenInBrowser(url);
    } else if (std::strcmp(keyword, "DOWNLOAD") == 0) {
        DownloadThroughAgent(url);
    }
}
