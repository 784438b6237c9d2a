// What the panel tests share: tips made in memory, animation ticks, and a
// sliding panel over a clean host folder on the test's own clock.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "panels/slip_mess_panel.h"
#include "platform/platform.h"
#include "protocol/tip_record.h"
#include "store/show_data_list.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"

struct TipContent {
    uint32_t id = 1;
    std::string title, picture, text, link;
    std::string captions[3], actions[3], urls[3];
    uint8_t style = 0;  // the layout kind
};

// A record valid from an hour ago until tomorrow, its picture ready.
inline std::unique_ptr<TipRecord> MakeTip(const TipContent& content) {
    std::unique_ptr<TipRecord> tip = NewTipRecord();
    tip->nMessageID = content.id;
    tip->byStyle = content.style;
    tip->tBeginTime = platform::Now() - 3600;
    tip->tEndTime = platform::Now() + 24 * 3600;
    tip->bPicReady = 1;
    tip->byVersion = kTipRecordVersion;
    SetFieldText(tip->szTitle, content.title);
    SetFieldText(tip->szPicture, content.picture);
    SetFieldText(tip->szText, content.text);
    SetFieldText(tip->szLinkURL, content.link);
    for (int k = 0; k < 3; ++k) {
        SetFieldText(tip->aButtons[k].szCaption, content.captions[k]);
        SetFieldText(tip->aButtons[k].szAction, content.actions[k]);
        SetFieldText(tip->aButtons[k].szURL, content.urls[k]);
        if (!content.captions[k].empty()) tip->nButtonCount = k + 1;
    }
    return tip;
}
inline int32_t Show(CMessPanel& panel, const TipContent& content, int32_t staySeconds = 0) {
    return panel.ShowTip(*MakeTip(content), staySeconds);
}

// RaisePanel ticks until the panel is up (at most 100) and returns how many it took.
inline void Tick(CMessPanel& panel, int count = 1) {
    for (int i = 0; i < count; ++i) SendMessageA(panel.Window(), WM_TIMER, TIMER_ANIMATE, 0);
}
inline int RaisePanel(CMessPanel& panel) {
    int ticks = 0;
    for (; ticks < 100 && panel.Slide().CurrentTop() > panel.Slide().ShownTop(); ++ticks) Tick(panel);
    return ticks;
}
inline RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// The test's clock starts at the real time. The pointer is parked away from
// the panels' corner, so that the system's own hover tracking keeps out.
inline int32_t g_clock = 0;
class PanelTest : public HostFolderTest {
  protected:
    void SetUp() override {
        HostFolderTest::SetUp();
        CreateDirectoryA(TipsFolder().c_str(), nullptr);
        CShowDataList::DestroyInstance();
        g_clock = platform::Now();
        platform::SetClockForTest([] { return g_clock; });
        SetCursorPos(10, 10);
        ASSERT_EQ(panel_.Create(), 1);
    }
    void TearDown() override {
        panel_.Destroy();
        platform::SetClockForTest(nullptr);
        PumpMessages(20);
        CShowDataList::DestroyInstance();
        HostFolderTest::TearDown();
    }
    void Queue(uint32_t id, const char* text) {
        ASSERT_EQ(CShowDataList::GetInstance()->AddOneShowData(MakeTip(TipContent{id, "", "", text}).release()), 1);
    }
    CSlipMessPanel panel_;
};
