// A click on each part of a shown tip, from the panel window's mouse
// messages through every panel action message to what the test browser
// and the test download agent recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "panels/panel_action.h"
#include "panels/slip_mess_panel.h"
#include "support/click_rig.h"
#include "support/dll_under_test.h"

namespace {

using click_rig::Lines;
using click_rig::TaskLine;

const std::string kPage = "http://tips.test/page?id=7&x=1";
const std::string kFile = "http://tips.test/files/setup.zip";

// Clicks at `at`, then handles the panel action messages as the message
// loop would; returns them as letters: C(lose), L(eave), R(un), and the
// button each R names.
std::string Click(CMessPanel& panel, POINT at, const CButtonDrawer** run) {
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
        SendMessageA(panel.Window(), message, 0, MAKELPARAM(at.x, at.y));
    std::string letters;
    for (MSG msg; PeekMessageA(&msg, panel.Window(), WM_PANEL_ACTION, WM_PANEL_ACTION, PM_REMOVE);) {
        letters += msg.wParam == kPanelActionClose ? 'C' : msg.wParam == kPanelActionLeave ? 'L' : 'R';
        if (msg.wParam == kPanelActionRun) *run = reinterpret_cast<const CButtonDrawer*>(msg.lParam);
        DispatchMessageA(&msg);
    }
    return letters;
}

class ActionClick : public ClickRigTest {};

TEST_F(ActionClick, EachPartOfATipDoesWhatItsLinkOrActionSays) {
    const POINT picture{50, 90}, text{170, 60}, button{183, 148}, close{243, 11}, wideButton{170, 150};
    const std::string download = "QUILLONBUTTON:DOWNLOAD:" + kFile, longUrl = "http://tips.test/" + std::string(1006, 'a');
    const Lines agentRun = {"create", TaskLine(kFile), "commit", "release"};
    struct Case {
        const char* name;
        POINT at;
        std::string link, action, url;
        const char* agent;  // "none": not registered, else the step it fails, "" none
        std::string messages;
        Lines browser, agentCalls;
    };
    const Case cases[] = {
        {"plain link on the picture", picture, kPage, "", "", "", "L", {kPage}, {}},
        {"plain link on the text", text, kPage, "", "", "", "L", {kPage}, {}},
        {"empty link", picture, "", "", "", "", "L", {""}, {}},
        {"prefix in other case", text, "quillonbutton:DOWNLOAD:x", "", "", "", "L", {"quillonbutton:DOWNLOAD:x"}, {}},
        {"download link on the text", text, download, "", "", "", "RL", {}, agentRun},
        {"download link on the picture", picture, download, "", "", "none", "RL", {kFile}, {}},
        {"download link without an address", text, "QUILLONBUTTON:DOWNLOAD:", "", "", "", "R", {}, {}},
        {"another library command", picture, "QUILLONBUTTON:CLOSE", "", "", "", "", {}, {}},
        {"close zone", close, kPage, "OPENURL", kPage, "", "C", {}, {}},
        {"open button", button, kPage, "OPENURL", kPage, "", "RLL", {kPage}, {}},
        {"download button", button, kPage, "DOWNLOAD", kFile, "", "RLL", {}, agentRun},
        {"agent refuses creation", button, kPage, "DOWNLOAD", kFile, "create", "RLL", {kFile}, {"refuse"}},
        {"agent task fails", button, kPage, "DOWNLOAD", kFile, "task", "RLL", {}, {"create", TaskLine(kFile), "release"}},
        {"agent commit fails", button, kPage, "DOWNLOAD", kFile, "commit", "RLL", {}, agentRun},
        {"keyword in other case", button, kPage, "OpenURL", kPage, "", "RLL", {}, {}},
        {"download keyword in other case", button, kPage, "download", kFile, "", "RLL", {}, {}},
        {"a caption without a keyword is no button", button, kPage, "", kPage, "", "", {}, {}},
        {"no address", button, kPage, "OPENURL", "", "", "RL", {}, {}},
        {"address like a dash switch", button, kPage, "OPENURL", "-k http://x/", "", "RLL", {}, {}},
        {"address like a slash switch", button, kPage, "OPENURL", "/kiosk", "", "RLL", {}, {}},
        {"blanks, quotes and controls", button, kPage, "OPENURL", "http://t/a b\"c\td", "", "RLL",
         {"http://t/a%20b%22c%09d"}, {}},
        {"a full-length address", button, kPage, "DOWNLOAD", longUrl, "", "RLL", {},
         {"create", TaskLine(longUrl), "commit", "release"}},
        {"button over a wide picture", wideButton, kPage, "OPENURL", kFile, "", "RLL", {kFile}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(std::string(c.agent) == "none" ? click_rig::UnregisterAgent() : click_rig::RegisterAgent());
        click_rig::SetAgentFailure(std::string(c.agent) == "none" ? "" : c.agent);
        click_rig::ClearLogs();
        CSlipMessPanel panel;
        ASSERT_EQ(panel.Create(), 1);
        TipContent tip;
        tip.picture = "C:\\no\\such\\picture.gif";
        // Without a text the picture's cell reaches under the button.
        tip.text = c.at.y == wideButton.y ? "" : "Some tip text";
        tip.link = c.link;
        tip.captions[0] = "Get";
        tip.actions[0] = c.action;
        tip.urls[0] = c.url;
        ASSERT_EQ(Show(panel, tip, 0), 1);
        RaisePanel(panel);
        // A stale record in the spares: each download link click refills it.
        panel.Text().Spare().SetAction("OPENURL", "http://stale/");
        panel.Picture().Spare().SetAction("OPENURL", "http://stale/");
        const CButtonDrawer* run = nullptr;
        EXPECT_EQ(Click(panel, c.at, &run), c.messages);
        if (run) EXPECT_EQ(run, c.at.y >= 139 ? &panel.Buttons().Button(0)
                                : c.at.x > 110   ? &panel.Text().Spare()
                                                 : &panel.Picture().Spare());
        EXPECT_EQ(click_rig::BrowserStarts(), c.browser);
        EXPECT_EQ(click_rig::AgentCalls(), c.agentCalls);
        PumpMessages(30);
        EXPECT_EQ(IsWindowVisible(panel.Window()) != 0, c.messages != "C");
        EXPECT_EQ(panel.State() == PANEL_LEAVING, c.messages.find('L') != std::string::npos);
    }
}

// The library leaves COM to the host: on a thread where the host never
// started it, a download opens the browser instead of the agent.
TEST_F(ActionClick, ADownloadOnAThreadWithoutComOpensTheBrowser) {
    std::thread([] {
        CSlipMessPanel panel;
        ASSERT_EQ(panel.Create(), 1);
        panel.Buttons().Button(0).SetTexts("Get", "DOWNLOAD", kFile.c_str());
        SendMessageA(panel.Window(), WM_PANEL_ACTION, kPanelActionRun, reinterpret_cast<LPARAM>(&panel.Buttons().Button(0)));
    }).join();
    EXPECT_EQ(click_rig::BrowserStarts(), Lines{kFile});
    EXPECT_TRUE(click_rig::AgentCalls().empty());
    if (GetACP() != 1252) GTEST_SKIP() << "the address below is in code page 1252";
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    panel.Buttons().Button(0).SetTexts("Get", "DOWNLOAD", "http://tips.test/caf\xe9.zip");
    SendMessageA(panel.Window(), WM_PANEL_ACTION, kPanelActionRun, reinterpret_cast<LPARAM>(&panel.Buttons().Button(0)));
    EXPECT_EQ(click_rig::AgentCalls(), (Lines{"create", TaskLine("http://tips.test/caf\\u00e9.zip"), "commit", "release"}));
}

}  // namespace
