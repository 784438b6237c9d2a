// A click on each part of a shown tip, from the mouse messages of the
// panel window to what the test browser and the test download agent
// recorded, through every panel action message on the way.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panels/mess_panel.h"
#include "panels/panel_action.h"
#include "panels/slip_mess_panel.h"
#include "support/click_rig.h"
#include "support/dll_under_test.h"
#include "support/panel_support.h"

namespace {

using click_rig::TaskLine;
using Lines = std::vector<std::string>;

const std::string kPage = "http://tips.test/page?id=7";
const std::string kFile = "http://tips.test/files/setup.zip";

// Where a user clicks on a tip with a picture, a text and one button.
enum class Spot { Picture, Text, Button, CloseZone };

POINT PointOf(Spot spot) {
    switch (spot) {
    case Spot::Picture: return POINT{50, 90};
    case Spot::Text: return POINT{170, 60};
    case Spot::Button: return POINT{183, 148};
    case Spot::CloseZone: return POINT{243, 11};
    }
    return POINT{0, 0};
}

// The button whose record the click runs (the lParam of wParam 0).
enum class Runs { Nothing, PictureSpare, TextSpare, Button };

// What the panel does once the click's messages are handled.
enum class After { Stays, SlidesAway, Hides };

struct ClickCase {
    const char* name;
    std::string link;
    std::string action;
    std::string url;
    bool agentRegistered;
    Spot spot;
    std::vector<WPARAM> messages;
    Runs runs;
    After after;
    Lines browser;
    Lines agent;
};

const CButtonDrawer* RunButton(CMessPanel& panel, Runs runs) {
    switch (runs) {
    case Runs::PictureSpare: return &panel.Picture().Spare();
    case Runs::TextSpare: return &panel.Text().Spare();
    case Runs::Button: return &panel.Buttons().Button(0);
    case Runs::Nothing: break;
    }
    return nullptr;
}

void Click(HWND window, POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    SendMessageA(window, WM_MOUSEMOVE, 0, where);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendMessageA(window, WM_LBUTTONUP, 0, where);
}

class ActionClick : public ClickRigTest {};

TEST_F(ActionClick, EachPartOfATipDoesWhatItsLinkOrActionSays) {
    const std::string download = "QUILLONBUTTON:DOWNLOAD:" + kFile;
    const Lines agentRun = {"create", TaskLine(kFile), "commit", "release"};
    const ClickCase cases[] = {
        {"plain link on the picture", kPage, "OPENURL", kPage, true, Spot::Picture,
         {kPanelActionLeave}, Runs::Nothing, After::SlidesAway, {kPage}, {}},
        {"plain link on the text", kPage, "OPENURL", kPage, true, Spot::Text,
         {kPanelActionLeave}, Runs::Nothing, After::SlidesAway, {kPage}, {}},
        {"empty link", "", "OPENURL", kPage, true, Spot::Picture,
         {kPanelActionLeave}, Runs::Nothing, After::SlidesAway, {""}, {}},
        {"download link on the text", download, "OPENURL", kPage, true, Spot::Text,
         {kPanelActionRun, kPanelActionLeave}, Runs::TextSpare, After::SlidesAway, {}, agentRun},
        {"download link on the picture without an agent", download, "OPENURL", kPage, false,
         Spot::Picture, {kPanelActionRun, kPanelActionLeave}, Runs::PictureSpare, After::SlidesAway,
         {kFile}, {}},
        {"download link without an address", "QUILLONBUTTON:DOWNLOAD:", "OPENURL", kPage, true,
         Spot::Text, {kPanelActionRun}, Runs::TextSpare, After::Stays, {}, {}},
        {"another library command", "QUILLONBUTTON:CLOSE", "OPENURL", kPage, true, Spot::Picture,
         {}, Runs::Nothing, After::Stays, {}, {}},
        {"the prefix in other case", "quillonbutton:DOWNLOAD:" + kFile, "OPENURL", kPage, true,
         Spot::Text, {kPanelActionLeave}, Runs::Nothing, After::SlidesAway,
         {"quillonbutton:DOWNLOAD:" + kFile}, {}},
        {"close zone", kPage, "OPENURL", kPage, true, Spot::CloseZone,
         {kPanelActionClose}, Runs::Nothing, After::Hides, {}, {}},
        {"open button", kPage, "OPENURL", kPage, true, Spot::Button,
         {kPanelActionRun, kPanelActionLeave, kPanelActionLeave}, Runs::Button, After::SlidesAway,
         {kPage}, {}},
        {"download button", kPage, "DOWNLOAD", kFile, true, Spot::Button,
         {kPanelActionRun, kPanelActionLeave, kPanelActionLeave}, Runs::Button, After::SlidesAway,
         {}, agentRun},
        {"download button without an agent", kPage, "DOWNLOAD", kFile, false, Spot::Button,
         {kPanelActionRun, kPanelActionLeave, kPanelActionLeave}, Runs::Button, After::SlidesAway,
         {kFile}, {}},
        {"button keyword in other case", kPage, "OpenURL", kPage, true, Spot::Button,
         {kPanelActionRun, kPanelActionLeave, kPanelActionLeave}, Runs::Button, After::SlidesAway,
         {}, {}},
        {"button without an address", kPage, "OPENURL", "", true, Spot::Button,
         {kPanelActionRun, kPanelActionLeave}, Runs::Button, After::SlidesAway, {}, {}},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.agentRegistered ? click_rig::RegisterAgent() : click_rig::UnregisterAgent());
        click_rig::ClearLogs();
        CSlipMessPanel panel;
        ASSERT_EQ(panel.Create(), 1);
        TipContent tip;
        tip.title = "Title";
        tip.picture = "C:\\no\\such\\picture.gif";
        tip.text = "Some tip text";
        tip.link = c.link;
        tip.captions[0] = "Get";
        tip.actions[0] = c.action;
        tip.urls[0] = c.url;
        ASSERT_EQ(ShowContent(panel, tip, 0), 1);
        RaisePanel(panel);
        const int32_t before = panel.State();

        Click(panel.Window(), PointOf(c.spot));
        const click_rig::PanelActions actions = click_rig::TakePanelActions(panel.Window(), true);

        std::vector<WPARAM> messages;
        for (const auto& action : actions) messages.push_back(action.first);
        EXPECT_EQ(messages, c.messages);
        if (c.runs != Runs::Nothing) {
            ASSERT_FALSE(actions.empty());
            EXPECT_EQ(actions[0].second, reinterpret_cast<LPARAM>(RunButton(panel, c.runs)));
        }
        EXPECT_EQ(click_rig::BrowserStarts(), c.browser);
        EXPECT_EQ(click_rig::AgentCalls(), c.agent);
        PumpMessages(30);
        switch (c.after) {
        case After::Stays:
            EXPECT_EQ(panel.State(), before);
            EXPECT_TRUE(IsWindowVisible(panel.Window()));
            break;
        case After::SlidesAway:
            EXPECT_EQ(panel.State(), PANEL_LEAVING);
            break;
        case After::Hides:
            EXPECT_FALSE(IsWindowVisible(panel.Window()));
            break;
        }
        panel.Destroy();
    }
}

// A download link fills the element's spare button afresh at each click.
TEST_F(ActionClick, EachDownloadLinkClickRefillsTheSpareButton) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    TipContent tip;
    tip.text = "Some tip text";
    tip.link = "QUILLONBUTTON:DOWNLOAD:" + kFile;
    ASSERT_EQ(ShowContent(panel, tip, 0), 1);
    RaisePanel(panel);
    panel.Text().Spare().SetAction("OPENURL", kPage.c_str());
    Click(panel.Window(), PointOf(Spot::Text));
    EXPECT_STREQ(panel.Text().Spare().Command(), "DOWNLOAD");
    EXPECT_EQ(panel.Text().Spare().Url(), kFile);
    click_rig::TakePanelActions(panel.Window(), true);
    EXPECT_EQ(click_rig::AgentCalls(), (Lines{"create", TaskLine(kFile), "commit", "release"}));
    EXPECT_TRUE(click_rig::BrowserStarts().empty());
    panel.Destroy();
}

}  // namespace
