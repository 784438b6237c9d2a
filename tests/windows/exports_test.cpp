// The real DLL as a host sees it: its exports, its resources, the folder
// and windows a start makes, and what a stop leaves, from whichever thread it comes.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "panels/mess_panel.h"
#include "platform/handles.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"

// Pushes `count` arguments (right to left), calls `fn` and returns how far
// the stack pointer moved: 0 when the callee popped them, as __stdcall does.
extern "C" int32_t CallMeasuringStack(FARPROC fn, int32_t count, const intptr_t* args, int32_t* result);
#if defined(__i386__)
asm(R"(
    .text
    .globl _CallMeasuringStack
_CallMeasuringStack:
    push %ebp; mov %esp, %ebp; push %esi; push %edi; push %ebx
    mov 12(%ebp), %ecx; mov 16(%ebp), %edx; mov %esp, %esi
1:  test %ecx, %ecx; jz 2f; dec %ecx; push (%edx,%ecx,4); jmp 1b
2:  mov 8(%ebp), %eax; call *%eax
    mov %esp, %edi; sub %esi, %edi; mov 20(%ebp), %ecx; mov %eax, (%ecx)
    mov %esi, %esp; mov %edi, %eax; pop %ebx; pop %edi; pop %esi; pop %ebp; ret
)");
#else
// x86-64 has one calling convention, in which the caller owns the stack:
// the exports are called through their own types and the stack cannot move.
extern "C" int32_t CallMeasuringStack(FARPROC fn, int32_t count, const intptr_t* args, int32_t* result) {
    if (count == 0) *result = reinterpret_cast<int (*)()>(fn)();
    if (count == 1) *result = reinterpret_cast<int (*)(int)>(fn)(int(args[0]));
    if (count == 3)
        *result = reinterpret_cast<int (*)(const char*, int, int)>(fn)(reinterpret_cast<const char*>(args[0]),
                                                                       int(args[1]), int(args[2]));
    return 0;
}
#endif

namespace {

class Exports : public HostFolderTest {};

// The calls in order: before msg_init, with a manager (null texts and bad
// lengths change nothing), and after msg_exit.
TEST_F(Exports, EachExportPopsItsArgumentsAndReturnsItsResult) {
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    const char text[] = "abc";
    const intptr_t good[3] = {reinterpret_cast<intptr_t>(text), 3, 0}, bad[3] = {0, -1, 0};
    const struct {
        const char* name;
        int32_t argCount;
        const intptr_t* args;
        int32_t result;
    } calls[] = {
        {.name = "msg_exit", .argCount = 0, .args = good, .result = 0},
        {.name = "set_clinettype", .argCount = 3, .args = good, .result = 1},
        {.name = "set_username", .argCount = 3, .args = good, .result = 1},
        {.name = "show_onetips", .argCount = 1, .args = good, .result = 1},
        {.name = "SetMessageID", .argCount = 1, .args = good, .result = 1},
        {.name = "msg_init", .argCount = 1, .args = bad, .result = 1},
        {.name = "set_username", .argCount = 3, .args = bad, .result = 1},
        {.name = "set_clinettype", .argCount = 3, .args = bad, .result = 1},
        {.name = "show_onetips", .argCount = 1, .args = bad, .result = 1},
        {.name = "SetMessageID", .argCount = 1, .args = good, .result = 1},
        {.name = "msg_exit", .argCount = 0, .args = good, .result = 1},
        {.name = "msg_exit", .argCount = 0, .args = good, .result = 0},
    };
    for (const auto& call : calls) {
        int32_t result = -99;
        ASSERT_NE(dll.Export(call.name), nullptr) << call.name;
        EXPECT_EQ(CallMeasuringStack(dll.Export(call.name), call.argCount, call.args, &result), 0) << call.name;
        EXPECT_EQ(result, call.result) << call.name;
    }
    for (const char* decorated : {"msg_init@4", "_msg_init@4"}) EXPECT_EQ(dll.Export(decorated), nullptr) << decorated;
}

// A library loaded from elsewhere still works beside the host program. A
// second start without a stop stops the first, so one stop ends all.
TEST_F(Exports, AStartMakesTheTipsFolderAndPanelsOfItsOwnAndAStopTakesThemAndItsThreads) {
    const std::string elsewhere = ExeFolder() + "\\elsewhere", copy = elsewhere + "\\tiprelay_copy.dll";
    RemoveTree(elsewhere);
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(HostFile("tiprelay.dll").c_str(), copy.c_str(), FALSE));
    {
        DllUnderTest dll(copy);
        ASSERT_TRUE(dll.Loaded());
        const HMODULE module = GetModuleHandleA("tiprelay_copy.dll");
        const auto hiddenPanels = [module] {  // of either kind, their class in the copy
            int count = 0;
            for (const char* name : {"slipzemtraMessPanelClass", "statzemtraMessPanelClass"})
                for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, name, nullptr)) != nullptr;)
                    count +=
                        !IsWindowVisible(w) && reinterpret_cast<HMODULE>(GetClassLongPtrA(w, GCLP_HMODULE)) == module;
            return count;
        };
        // The library and the host show the project's version and, last in
        // their description, their architecture.
        const std::string arch = sizeof(void*) == 8 ? " (x64)" : " (x86)";
        for (const std::string file : {"tiprelay.dll", "tiphost.exe"}) {
            std::vector<char> block(GetFileVersionInfoSizeA(HostFile(file).c_str(), nullptr) + 1);
            GetFileVersionInfoA(HostFile(file).c_str(), 0, block.size(), block.data());
            const auto value = [&block](const char* name) {
                char* text = nullptr;
                UINT length = 0;
                const std::string path = "\\StringFileInfo\\040904b0\\" + std::string(name);
                VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length);
                return std::string(text && length ? text : "");
            };
            for (const char* name : {"FileVersion", "ProductVersion"}) EXPECT_EQ(value(name), TIPRELAY_VERSION) << file;
            EXPECT_EQ(value("OriginalFilename"), file);
            EXPECT_TRUE(value("FileDescription").ends_with(arch)) << file << ": " << value("FileDescription");
        }
        for (int start = 0; start < 2; ++start) {
            EXPECT_EQ(dll.msg_init(), 1);
            EXPECT_EQ(dll.msg_init(), 1);
            PumpMessages(50);
            EXPECT_EQ(hiddenPanels(), 2) << "one hidden panel of each kind";
            EXPECT_EQ(dll.msg_exit(), 1);
            WNDCLASSEXA wc{sizeof wc};
            EXPECT_EQ(hiddenPanels(), 0);
            EXPECT_FALSE(GetClassInfoExA(module, "slipzemtraMessPanelClass", &wc)) << "the class is unregistered";
            EXPECT_EQ(CountThreadsStartedIn(module), 0);
        }
    }
    EXPECT_TRUE(PathExists(TipsFolder()));
    EXPECT_FALSE(PathExists(HostFile("message.ini"))) << "the library never writes the settings by itself";
    EXPECT_FALSE(PathExists(elsewhere + "\\tips"));
    RemoveTree(elsewhere);
}

// Regression: a host that unloaded the library without msg_exit crashed at
// the panel's next timer, in code that was no longer there. The panels are
// detached at the unload; whatever reaches their windows afterwards is
// handled by the system, and they are off the screen.
TEST_F(Exports, AnUnloadWithoutMsgExitLeavesNoWindowThatCallsIntoTheLibrary) {
    LoopbackTipsServer refusing(TipsFault::kRefuse);
    refusing.PointSettingsHere();
    HMODULE module = LoadLibraryA(HostFile("tiprelay.dll").c_str());
    ASSERT_NE(module, nullptr);
    reinterpret_cast<decltype(&::msg_init)>(GetProcAddress(module, "msg_init"))(0);
    const HWND panel = FindWindowA("slipzemtraMessPanelClass", nullptr);
    ASSERT_NE(panel, nullptr);
    ShowWindow(panel, SW_SHOWNOACTIVATE);  // as if a tip were up
    // The worker holds the library until its cycle is over.
    ASSERT_TRUE(PumpUntil([module] { return CountThreadsStartedIn(module) == 0; }, 8000));
    FreeLibrary(module);
    ASSERT_EQ(GetModuleHandleA("tiprelay.dll"), nullptr) << "unloaded";
    for (const UINT message : {UINT(WM_TIMER), UINT(WM_PAINT), UINT(WM_MOUSEMOVE)})
        PostMessageA(panel, message, TIMER_POLL, 0);
    PumpMessages(100);
    EXPECT_TRUE(IsWindow(panel));
    EXPECT_FALSE(IsWindowVisible(panel));
    DestroyWindow(panel);
    if (const HWND stat = FindWindowA("statzemtraMessPanelClass", nullptr)) DestroyWindow(stat);
}

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

}  // namespace
