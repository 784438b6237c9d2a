// The stand-ins that click tests put in their Wine prefix: the test
// browser as the iexplore.exe the shell starts, and the test download
// agent under the agent's ProgID. Both record their calls in logs beside
// the test program.
#pragma once

#include <string>
#include <vector>

#include "support/panel_support.h"

namespace click_rig {

using Lines = std::vector<std::string>;

bool RegisterAgent();
bool UnregisterAgent();
// Makes the agent fail a step: "create", "task", "commit", or "" for none.
void SetAgentFailure(const std::string& step);
// Both logs emptied.
void ClearLogs();
// One line per browser start, its parameter, once every started browser has ended.
Lines BrowserStarts();
// One line per agent event: create, refuse, task ..., commit, release.
Lines AgentCalls();
// The agent's line for a task call on the ASCII `url`.
std::string TaskLine(const std::string& url);

}  // namespace click_rig

// COM on the test thread (as a host has it), both stand-ins in place.
class ClickRigTest : public PanelTest {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    bool comStarted_ = false;
};
