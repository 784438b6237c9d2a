// The panels of the real DLL: created by msg_init in the DLL's own module,
// gone after msg_exit, and back after the next msg_init.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/dll_under_test.h"
#include "support/host_folder.h"

namespace {

struct PanelWindowInfo {
    std::string className;
    HINSTANCE module;
    bool visible;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    char name[64] = {0};
    GetClassNameA(window, name, sizeof name);
    const std::string className = name;
    if (className.find("zemtraMessPanelClass") == std::string::npos) return TRUE;
    reinterpret_cast<std::vector<PanelWindowInfo>*>(param)->push_back(
        {className, reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE)), IsWindowVisible(window) != 0});
    return TRUE;
}

std::vector<PanelWindowInfo> PanelWindows() {
    std::vector<PanelWindowInfo> found;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

class PanelDll : public HostFolderTest {};

TEST_F(PanelDll, EachStartCreatesBothPanelsInTheLibrarysModuleAndEachStopRemovesThem) {
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    const HMODULE module = GetModuleHandleA("tiprelay.dll");
    ASSERT_NE(module, nullptr);
    // The skin is a resource of the library itself.
    HBITMAP skin = LoadBitmapA(module, MAKEINTRESOURCEA(1004));
    ASSERT_NE(skin, nullptr);
    BITMAP info{};
    GetObjectA(skin, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 260);
    EXPECT_EQ(info.bmHeight, 160);
    DeleteObject(skin);

    for (int start = 0; start < 2; ++start) {
        ASSERT_EQ(dll.msg_init(), 1);
        PumpMessages(20);
        const std::vector<PanelWindowInfo> panels = PanelWindows();
        ASSERT_EQ(panels.size(), 2u) << "start " << start;
        int sliding = 0, stat = 0;
        for (const PanelWindowInfo& p : panels) {
            sliding += p.className == "slipzemtraMessPanelClass";
            stat += p.className == "statzemtraMessPanelClass";
            EXPECT_EQ(p.module, module) << p.className;
            EXPECT_FALSE(p.visible) << p.className;
        }
        EXPECT_EQ(sliding, 1);
        EXPECT_EQ(stat, 1);
        ASSERT_EQ(dll.msg_exit(), 1);
        EXPECT_TRUE(PanelWindows().empty()) << "start " << start;
        // The library leaves no class of its own registered behind.
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        EXPECT_FALSE(GetClassInfoExA(module, "slipzemtraMessPanelClass", &wc));
        EXPECT_FALSE(GetClassInfoExA(module, "statzemtraMessPanelClass", &wc));
    }
}

}  // namespace
