// msg_exit from another thread than msg_init's, the library unloaded after it.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "support/dll_under_test.h"
#include "support/host_folder.h"

using HostLoop = HostFolderTest;

// Regression: the signal that the host's thread is back in its loop was a
// thread timer with its callback in the library; the other thread could not
// kill it, and msg_init's thread then dispatched it into the unloaded library.
TEST_F(HostLoop, AStopFromAnotherThreadLeavesNoTimerIntoTheLibrary) {
    auto dll = std::make_unique<DllUnderTest>();
    ASSERT_TRUE(dll->Loaded() && dll->msg_init() == 1);
    std::thread([&] {
        dll->msg_exit();
        dll.reset();
    }).join();
    int intoCode = 0;  // timer messages whose dispatch would run a callback
    MSG msg;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 300; Sleep(10)) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            intoCode += msg.message == WM_TIMER && (msg.hwnd == nullptr || msg.lParam != 0);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(intoCode, 0);
    // The detached panels are still this thread's windows, and keep their
    // classes: both go here, or a later test's copy of the library, loaded at
    // the same address, finds them.
    for (const char* name : {"slipzemtraMessPanelClass", "statzemtraMessPanelClass"}) {
        for (HWND w; (w = FindWindowExA(nullptr, nullptr, name, nullptr)) != nullptr;) {
            const auto module = reinterpret_cast<HINSTANCE>(GetClassLongPtrA(w, GCLP_HMODULE));
            if (!DestroyWindow(w)) break;
            UnregisterClassA(name, module);
        }
    }
}
