#include "support/panel_support.h"

#include "platform/handles.h"
#include "platform/platform.h"
#include "support/dll_under_test.h"

std::unique_ptr<TipRecord> MakeTip(const TipContent& content) {
    std::unique_ptr<TipRecord> tip = NewTipRecord();
    const int32_t now = platform::Now();
    tip->nMessageID = content.id;
    tip->byStyle = content.style;
    tip->nShowSeconds = content.showSeconds;
    tip->tBeginTime = now - 3600;
    tip->tEndTime = now + 24 * 3600;
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

void Tick(CMessPanel& panel, int count) {
    for (int i = 0; i < count; ++i) SendMessageA(panel.Window(), WM_TIMER, TIMER_ANIMATE, 0);
}

int RaisePanel(CMessPanel& panel) {
    int ticks = 0;
    for (; ticks < 100 && panel.CurrentTop() > panel.ShownTop(); ++ticks) Tick(panel);
    return ticks;
}

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

Capture CaptureBitmap(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    const handles::WindowDC screen(nullptr);
    const handles::MemoryDC source(CreateCompatibleDC(screen.get()));
    const handles::Select selected(source.get(), bitmap);
    return CaptureDC(source.get(), 0, 0, info.bmWidth, info.bmHeight);
}

void PanelTest::SetUp() {
    HostFolderTest::SetUp();
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    CShowDataList::DestroyInstance();
    SetCursorPos(10, 10);
}

void PanelTest::TearDown() {
    platform::SetClockForTest(nullptr);
    PumpMessages(20);
    CShowDataList::DestroyInstance();
    HostFolderTest::TearDown();
}
