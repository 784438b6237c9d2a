// The exported surface of the real DLL, as a host sees it, and the version
// in its properties and the demo host's.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/dll_under_test.h"
#include "support/host_folder.h"

// Pushes `count` arguments (right to left), calls `fn` and reports how far
// the stack pointer moved across the call: 0 when the callee removed its
// own arguments, as __stdcall requires.
extern "C" int32_t CallMeasuringStack(FARPROC fn, int32_t count, const int32_t* args,
                                      int32_t* result);
asm(R"(
    .text
    .globl _CallMeasuringStack
_CallMeasuringStack:
    push %ebp
    mov  %esp, %ebp
    push %esi
    push %edi
    push %ebx
    mov  12(%ebp), %ecx
    mov  16(%ebp), %edx
    mov  %esp, %esi
1:  test %ecx, %ecx
    jz   2f
    dec  %ecx
    push (%edx,%ecx,4)
    jmp  1b
2:  mov  8(%ebp), %eax
    call *%eax
    mov  %esp, %edi
    sub  %esi, %edi
    mov  20(%ebp), %ecx
    mov  %eax, (%ecx)
    mov  %esi, %esp
    mov  %edi, %eax
    pop  %ebx
    pop  %edi
    pop  %esi
    pop  %ebp
    ret
)");

namespace {

class Exports : public HostFolderTest {};

struct StackCase {
    const char* name;
    int32_t argCount;
    int32_t expected;  // result with no tip manager
};

TEST_F(Exports, EachExportPopsItsArgumentsAndReturnsItsResultWithoutAManager) {
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    const char text[] = "abc";
    const int32_t args[3] = {static_cast<int32_t>(reinterpret_cast<intptr_t>(text)), 3, 0};
    const StackCase cases[] = {
        {"msg_exit", 0, 0},       {"set_clinettype", 3, 1}, {"set_username", 3, 1},
        {"show_onetips", 1, 1},   {"SetMessageID", 1, 1},
    };
    for (const StackCase& c : cases) {
        FARPROC fn = dll.Export(c.name);
        ASSERT_NE(fn, nullptr) << c.name;
        int32_t result = -99;
        EXPECT_EQ(CallMeasuringStack(fn, c.argCount, args, &result), 0) << c.name;
        EXPECT_EQ(result, c.expected) << c.name;
    }

    // With a manager: msg_init 1, the others 1, msg_exit 1 and then 0 again.
    int32_t result = 0;
    const int32_t zero[1] = {0};
    EXPECT_EQ(CallMeasuringStack(dll.Export("msg_init"), 1, zero, &result), 0);
    EXPECT_EQ(result, 1);
    for (const StackCase& c : cases) {
        if (std::string(c.name) == "msg_exit") continue;
        EXPECT_EQ(CallMeasuringStack(dll.Export(c.name), c.argCount, args, &result), 0) << c.name;
        EXPECT_EQ(result, 1) << c.name;
    }
    EXPECT_EQ(CallMeasuringStack(dll.Export("msg_exit"), 0, args, &result), 0);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dll.msg_exit(), 0);
    // Plain names only, never the decorated ones.
    EXPECT_EQ(dll.Export("msg_init@4"), nullptr);
    EXPECT_EQ(dll.Export("_msg_init@4"), nullptr);
}

// A second start without a stop stops the first manager, so one stop ends all.
TEST_F(Exports, StartMakesTheTipsFolderBesideTheHostAndAStopEndsEveryThread) {
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    const int threadsBefore = CountThreads();
    EXPECT_EQ(dll.msg_init(), 1);
    EXPECT_TRUE(PathExists(TipsFolder()));
    EXPECT_FALSE(PathExists(HostFile("message.ini"))) << "the library never writes the settings by itself";
    EXPECT_EQ(dll.msg_init(), 1);
    PumpMessages(50);
    EXPECT_EQ(dll.msg_exit(), 1);
    EXPECT_EQ(dll.msg_exit(), 0) << "only one manager may be left to stop";
    PumpMessages(50);
    // Threads an earlier test walked away from may end meanwhile; none of ours may stay.
    EXPECT_LE(CountThreads(), threadsBefore);
}

TEST_F(Exports, PathsComeFromTheHostProgramNotFromTheLibrary) {
    const std::string elsewhere = ExeFolder() + "\\elsewhere";
    RemoveTree(elsewhere);
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    const std::string copy = elsewhere + "\\tiprelay_copy.dll";
    ASSERT_TRUE(CopyFileA(HostFile("tiprelay.dll").c_str(), copy.c_str(), FALSE));
    {
        DllUnderTest dll(copy);
        ASSERT_TRUE(dll.Loaded());
        EXPECT_EQ(dll.msg_init(), 1);
        EXPECT_EQ(dll.msg_exit(), 1);
    }
    EXPECT_TRUE(PathExists(TipsFolder()));
    EXPECT_FALSE(PathExists(elsewhere + "\\tips"));
    RemoveTree(elsewhere);
}

TEST_F(Exports, BadArgumentsChangeNothingAndNeverReachTheHost) {
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    ASSERT_EQ(dll.msg_init(), 1);
    auto setUser = reinterpret_cast<DllUnderTest::TextFn>(dll.Export("set_username"));
    auto setType = reinterpret_cast<DllUnderTest::TextFn>(dll.Export("set_clinettype"));
    EXPECT_EQ(setUser(nullptr, 5, 0), 1);
    EXPECT_EQ(setType(nullptr, 5, 0), 1);
    EXPECT_EQ(setUser("x", -1, 0), 1);
    EXPECT_EQ(setType("x", 0, 0), 1);
    EXPECT_EQ(dll.msg_exit(), 1);
}

std::string VersionString(const std::string& file, const char* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::vector<char> block(size);
    void* value = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (size == 0 || !GetFileVersionInfoA(file.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), query.c_str(), &value, &length) || length == 0) {
        return "";
    }
    return static_cast<const char*>(value);
}

TEST(VersionResource, TheDllAndTheHostShowTheProjectVersion) {
    for (const char* file : {"tiprelay.dll", "tiphost.exe"}) {
        for (const char* name : {"FileVersion", "ProductVersion"}) {
            EXPECT_EQ(VersionString(HostFile(file), name), TIPRELAY_VERSION) << file << " " << name;
        }
        EXPECT_EQ(VersionString(HostFile(file), "OriginalFilename"), file);
    }
}

}  // namespace
