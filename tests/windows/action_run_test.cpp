// The click action on one button's action record, as the panel runs it on
// its action message, with the real test browser and the real test
// download agent in the Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "actions/run_action.h"
#include "panels/button_drawer.h"
#include "panels/panel_action.h"
#include "panels/slip_mess_panel.h"
#include "support/click_rig.h"

namespace {

using click_rig::TaskLine;
using Lines = std::vector<std::string>;

const std::string kPage = "http://tips.test/page?id=7&x=1";
const std::string kFile = "http://tips.test/files/setup.zip";

class ActionRun : public ClickRigTest {
protected:
    void SetUp() override {
        ClickRigTest::SetUp();
        ASSERT_EQ(panel_.Create(), 1);
    }
    void TearDown() override {
        panel_.Destroy();
        ClickRigTest::TearDown();
    }

    LPARAM PanelParam() { return reinterpret_cast<LPARAM>(&panel_); }
    click_rig::PanelActions TakePosts() { return click_rig::TakePanelActions(panel_.Window(), false); }

    // Runs an action button's record through the panel's action message.
    void Run(const char* command, const std::string& url) {
        CButtonDrawer& button = panel_.Buttons().Button(0);
        button.SetTexts("Go", command, url.c_str());
        SendMessageA(panel_.Window(), WM_PANEL_ACTION, kPanelActionRun, reinterpret_cast<LPARAM>(&button));
    }

    CSlipMessPanel panel_;
};

struct RecordCase {
    const char* name;
    const char* command;
    std::string url;
    bool slidesAway;
    Lines browser;
    Lines agent;
};

TEST_F(ActionRun, EachActionRecordSlidesAwayAndOpensWhatItNames) {
    const RecordCase cases[] = {
        {"open", "OPENURL", kPage, true, {kPage}, {}},
        {"download", "DOWNLOAD", kFile, true, {}, {"create", TaskLine(kFile), "commit", "release"}},
        {"open in other case", "OpenURL", kPage, true, {}, {}},
        {"download in other case", "download", kFile, true, {}, {}},
        {"unknown keyword", "CLOSE", kPage, true, {}, {}},
        {"keyword with a trailing blank", "OPENURL ", kPage, true, {}, {}},
        {"empty keyword", "", kPage, false, {}, {}},
        {"open without address", "OPENURL", "", false, {}, {}},
        {"download without address", "DOWNLOAD", "", false, {}, {}},
        {"address like a dash switch", "OPENURL", "-k http://tips.test/", true, {}, {}},
        {"address like a slash switch", "OPENURL", "/kiosk", true, {}, {}},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.name);
        click_rig::ClearLogs();
        Run(c.command, c.url);
        const auto posts = TakePosts();
        if (c.slidesAway) {
            ASSERT_EQ(posts.size(), 1u);
            EXPECT_EQ(posts[0].first, kPanelActionLeave);
            EXPECT_EQ(posts[0].second, PanelParam());
        } else {
            EXPECT_TRUE(posts.empty());
        }
        EXPECT_EQ(click_rig::BrowserStarts(), c.browser);
        EXPECT_EQ(click_rig::AgentCalls(), c.agent);
    }
}

struct AgentCase {
    const char* name;
    const char* failure;
    bool registered;
    Lines browser;
    Lines agent;
};

// Only a missing or uncreatable agent falls back to the browser; a call
// that fails ends the download where it is.
TEST_F(ActionRun, DownloadFallsBackToTheBrowserOnlyWithoutAnAgent) {
    const AgentCase cases[] = {
        {"not registered", "", false, {kFile}, {}},
        {"refuses to be created", "create", true, {kFile}, {"refuse"}},
        {"task call fails", "task", true, {}, {"create", TaskLine(kFile), "release"}},
        {"follow-up call fails", "commit", true, {}, {"create", TaskLine(kFile), "commit", "release"}},
    };
    for (const AgentCase& c : cases) {
        SCOPED_TRACE(c.name);
        click_rig::ClearLogs();
        click_rig::SetAgentFailure(c.failure);
        ASSERT_TRUE(c.registered ? click_rig::RegisterAgent() : click_rig::UnregisterAgent());
        Run("DOWNLOAD", kFile);
        EXPECT_EQ(TakePosts().size(), 1u);
        EXPECT_EQ(click_rig::BrowserStarts(), c.browser);
        EXPECT_EQ(click_rig::AgentCalls(), c.agent);
    }
}

// The library leaves COM to the host: on a thread where the host never
// started it, a download opens the browser instead of the agent.
TEST_F(ActionRun, DownloadWithoutComOpensTheBrowser) {
    std::thread withoutCom([] { RunAction("DOWNLOAD", kFile.c_str()); });
    withoutCom.join();
    EXPECT_EQ(click_rig::BrowserStarts(), Lines{kFile});
    EXPECT_TRUE(click_rig::AgentCalls().empty());
}

TEST_F(ActionRun, AgentGetsTheAddressReadInTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "expects code page 1252, have " << GetACP();
    Run("DOWNLOAD", "http://tips.test/caf\xe9.zip");
    EXPECT_EQ(click_rig::AgentCalls(),
              (Lines{"create", TaskLine("http://tips.test/caf\\u00e9.zip"), "commit", "release"}));
}

// The address fills the whole field: nothing is lost on the way to either.
TEST_F(ActionRun, AFullLengthAddressReachesBrowserAndAgentWhole) {
    std::string url = "http://tips.test/";
    url.append(1023 - url.size(), 'a');
    Run("OPENURL", url);
    Run("DOWNLOAD", url);
    EXPECT_EQ(click_rig::BrowserStarts(), Lines{url});
    EXPECT_EQ(click_rig::AgentCalls(), (Lines{"create", TaskLine(url), "commit", "release"}));
}

// An address from the server stays one browser argument: the bytes that
// would end it, or start another, arrive percent-encoded.
TEST_F(ActionRun, BrowserGetsBlanksQuotesAndControlsEncoded) {
    Run("OPENURL", "http://tips.test/a b\"c\td -k");
    EXPECT_EQ(click_rig::BrowserStarts(), Lines{"http://tips.test/a%20b%22c%09d%20-k"});
}

}  // namespace
