// Panel tests: a fresh tip store and clock per test, tips built from
// strings, the animation driven tick by tick, and bitmaps read back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "panels/mess_panel.h"
#include "protocol/tip_record.h"
#include "screen_capture.h"
#include "store/show_data_list.h"
#include "support/host_folder.h"
#include "support/test_pictures.h"

struct TipContent {
    uint32_t id = 1;
    std::string title, picture, text, link;
    std::string captions[3], actions[3], urls[3];
    int32_t showSeconds = 0;
    uint8_t style = 0;
};

// A record valid from an hour ago until tomorrow.
std::unique_ptr<TipRecord> MakeTip(const TipContent& content);
inline int32_t Show(CMessPanel& panel, const TipContent& content, int32_t staySeconds) {
    return panel.ShowTip(*MakeTip(content), staySeconds);
}

// Animation ticks as the timer delivers them; RaisePanel ticks until the
// panel is up (at most 100) and returns how many it took.
void Tick(CMessPanel& panel, int count = 1);
int RaisePanel(CMessPanel& panel);
RECT WorkArea();
RECT WindowRect(HWND window);
Capture CaptureBitmap(HBITMAP bitmap);

// The pointer parked away from the panels' corner, so that the system's
// own hover tracking does not join in.
class PanelTest : public HostFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;
    CShowDataList* Store() { return CShowDataList::GetInstance(); }
};
