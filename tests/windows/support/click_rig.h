// The stand-ins that click tests need in their Wine prefix: the test
// browser installed as the iexplore.exe that the shell starts, and the
// test download agent registered under the agent's ProgID. Both record
// what they were asked to do into logs beside the test program.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/panel_fixture.h"

namespace click_rig {

// Copies test_browser.exe over the prefix's iexplore.exe (the system
// folder's, which the shell finds first, and the App Paths one), and makes
// Wine load that file rather than its own built-in stand-in.
bool InstallBrowser();
bool RegisterAgent();
bool UnregisterAgent();

// Points both stand-ins at fresh, empty logs.
void ClearLogs();
// Makes the agent fail a step: "create", "task", "commit", or "" for none.
void SetAgentFailure(const std::string& steps);

// One line per browser start: its parameter. Waits until every started
// browser has ended first, so a browser that was started is always seen.
std::vector<std::string> BrowserStarts();
// One line per agent event (create, refuse, task ..., commit, release).
std::vector<std::string> AgentCalls();

// The panel action messages (wParam, lParam) waiting for `window`, taken
// off its queue in order. With `dispatch`, each one is handled as the
// message loop would handle it, and what handling posts is taken too.
using PanelActions = std::vector<std::pair<WPARAM, LPARAM>>;
PanelActions TakePanelActions(HWND window, bool dispatch);

// The agent's line for a task call whose first argument is `url` (ASCII)
// and whose other seven are the ones the library always passes.
std::string TaskLine(const std::string& url);

}  // namespace click_rig

// A panel test with COM on the test thread (as a host has it), both
// stand-ins in place, and empty logs.
class ClickRigTest : public PanelTest {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    bool comStarted_ = false;
};
