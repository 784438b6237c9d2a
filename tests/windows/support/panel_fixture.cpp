#include "support/panel_fixture.h"

#include <windows.h>

#include "platform/platform.h"
#include "support/dll_under_test.h"

void PanelTest::SetUp() {
    HostFolderTest::SetUp();
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    CShowDataList::DestroyInstance();
    // Park the pointer away from the panels' corner, so that the system's
    // own hover tracking does not join in.
    SetCursorPos(10, 10);
}

void PanelTest::TearDown() {
    platform::SetClockForTest(nullptr);
    PumpMessages(20);
    CShowDataList::DestroyInstance();
    HostFolderTest::TearDown();
}
