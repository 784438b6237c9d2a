// The real DLL as a host sees it: its exports, the folder and windows a
// start makes, what a stop leaves, and its version.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"

// Pushes `count` arguments (right to left), calls `fn` and returns how far
// the stack pointer moved: 0 when the callee popped them, as __stdcall does.
extern "C" int32_t CallMeasuringStack(FARPROC fn, int32_t count, const int32_t* args, int32_t* result);
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

namespace {

class Exports : public HostFolderTest {};

// The calls in order: before msg_init, with a manager (null texts and bad
// lengths change nothing), and after msg_exit.
TEST_F(Exports, EachExportPopsItsArgumentsAndReturnsItsResult) {
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    const char text[] = "abc";
    const int32_t good[3] = {static_cast<int32_t>(reinterpret_cast<intptr_t>(text)), 3, 0}, bad[3] = {0, -1, 0};
    const struct {
        const char* name;
        int32_t argCount;
        const int32_t* args;
        int32_t result;
    } calls[] = {{"msg_exit", 0, good, 0},      {"set_clinettype", 3, good, 1}, {"set_username", 3, good, 1},
                 {"show_onetips", 1, good, 1},  {"SetMessageID", 1, good, 1},   {"msg_init", 1, bad, 1},
                 {"set_username", 3, bad, 1},   {"set_clinettype", 3, bad, 1},  {"show_onetips", 1, bad, 1},
                 {"SetMessageID", 1, good, 1},  {"msg_exit", 0, good, 1},       {"msg_exit", 0, good, 0}};
    for (const auto& c : calls) {
        int32_t result = -99;
        ASSERT_NE(dll.Export(c.name), nullptr) << c.name;
        EXPECT_EQ(CallMeasuringStack(dll.Export(c.name), c.argCount, c.args, &result), 0) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
    }
    EXPECT_EQ(dll.Export("msg_init@4"), nullptr);
    EXPECT_EQ(dll.Export("_msg_init@4"), nullptr);
}

// Hidden panel windows whose class belongs to `module`, counted in found->second.
BOOL CALLBACK CountPanel(HWND w, LPARAM param) {
    auto* found = reinterpret_cast<std::pair<HMODULE, int>*>(param);
    char name[64] = {0};
    GetClassNameA(w, name, sizeof name);
    found->second += std::string(name).find("zemtraMessPanelClass") != std::string::npos && !IsWindowVisible(w) &&
                     reinterpret_cast<HMODULE>(GetClassLongPtrA(w, GCLP_HMODULE)) == found->first;
    return TRUE;
}

int PanelWindowsOf(HMODULE module) {
    std::pair<HMODULE, int> found{module, 0};
    EnumWindows(CountPanel, reinterpret_cast<LPARAM>(&found));
    return found.second;
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
        const handles::Bitmap skin(LoadBitmapA(module, MAKEINTRESOURCEA(1004)));
        BITMAP info{};
        EXPECT_TRUE(GetObjectA(skin.get(), sizeof info, &info) && info.bmWidth == 260 && info.bmHeight == 160);
        const int threadsBefore = CountThreads();
        for (int start = 0; start < 2; ++start) {
            EXPECT_EQ(dll.msg_init(), 1);
            EXPECT_EQ(dll.msg_init(), 1);
            PumpMessages(50);
            EXPECT_EQ(PanelWindowsOf(module), 2) << "one hidden panel of each kind";
            EXPECT_EQ(dll.msg_exit(), 1);
            EXPECT_EQ(dll.msg_exit(), 0) << "only one manager may be left to stop";
            EXPECT_EQ(PanelWindowsOf(module), 0);
            WNDCLASSEXA wc{sizeof wc};
            EXPECT_FALSE(GetClassInfoExA(module, "slipzemtraMessPanelClass", &wc));
        }
        PumpMessages(50);
        EXPECT_LE(CountThreads(), threadsBefore);
    }
    EXPECT_TRUE(PathExists(TipsFolder()));
    EXPECT_FALSE(PathExists(HostFile("message.ini"))) << "the library never writes the settings by itself";
    EXPECT_FALSE(PathExists(elsewhere + "\\tips"));
    RemoveTree(elsewhere);
}

std::string VersionString(const std::string& file, const std::string& name) {
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    void* value = nullptr;
    UINT length = 0;
    const std::string query = "\\StringFileInfo\\040904b0\\" + name;
    if (block.empty() || !GetFileVersionInfoA(file.c_str(), 0, block.size(), block.data()) ||
        !VerQueryValueA(block.data(), query.c_str(), &value, &length) || length == 0)
        return "";
    return static_cast<const char*>(value);
}

TEST(VersionResource, TheDllAndTheHostShowTheProjectVersion) {
    for (const char* file : {"tiprelay.dll", "tiphost.exe"}) {
        EXPECT_EQ(VersionString(HostFile(file), "FileVersion"), TIPRELAY_VERSION) << file;
        EXPECT_EQ(VersionString(HostFile(file), "ProductVersion"), TIPRELAY_VERSION) << file;
        EXPECT_EQ(VersionString(HostFile(file), "OriginalFilename"), file);
    }
}

}  // namespace
