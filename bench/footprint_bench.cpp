// Prints what the library costs a host that is already warmed up (its own
// window, COM and Windows Sockets started): the anonymous memory added at
// LoadLibrary, at msg_init, and once a tip with a picture is on screen (the
// first start in the process), and the kernel handles that later cycles
// leave behind. Under Wine the private-bytes counter answers 0, so the
// memory is the process's resident anonymous memory as Linux counts it; on
// Windows, private bytes. Run beside tiprelay.dll, or name the DLL to load
// (the release ships it stripped: its debug information would be read in
// too); each run is one fresh process.
//   footprint_bench.exe [--dll PATH] The host folder is made by a child process of the bench, so that
// the picture encoder it uses is not already loaded when the library's
// picture decoding is measured.
#include <windows.h>
#include <winsock2.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/handles.h"
#include "protocol/tip_record.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"
#include "process_snapshot.h"
#include "support/test_pictures.h"
#include "support/tips_answer.h"
#include "wine_bench.h"

namespace {

constexpr UINT_PTR kPollTimer = 2;

// The Linux process id of this process under Wine, else 0. Files are opened
// by the wineserver there, so /proc/self would be the server's.
long UnixPid() {
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr) return 0;
    long pid = 20;  // getpid, through the i386 system call gate
    asm volatile("int $0x80" : "+a"(pid) : : "memory");
    return pid;
}

// Kilobytes of anonymous memory the process holds now.
long AnonymousKb() {
    static const std::string status = "Z:\\proc\\" + std::to_string(UnixPid()) + "\\status";
    if (const handles::CFile file{UnixPid() != 0 ? std::fopen(status.c_str(), "r") : nullptr}) {
        char line[128];
        long kb = -1;
        while (std::fgets(line, sizeof line, file.get()))
            if (std::sscanf(line, "RssAnon: %ld kB", &kb) == 1) break;
        if (kb >= 0) return kb;
    }
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return static_cast<long>(counters.PrivateUsage / 1024);
}

// One tip whose 100 x 133 JPEG is already in the tips folder, so that it
// shows at the first poll tick without a download.
bool PrepareHostFolder() {
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    const std::string picture = TipsFolder() + "7.gif";
    const std::string jpeg = JpegBytes(100, 133, 0, true);
    if (jpeg.empty()) return false;
    WriteWholeFile(picture, jpeg);
    CShowDataList store;
    auto* tip = new TipRecord(MakeTip(7, "A tip with a picture"));
    std::strncpy(tip->szPicture, picture.c_str(), sizeof tip->szPicture - 1);
    tip->bPicReady = 1;
    store.AddOneShowData(tip);
    return SaveTipFile((TipsFolder() + "message.dat").c_str(), &store);
}

// Runs this program again with --prepare and waits for it.
bool PrepareInChild() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --prepare";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return false;
    const handles::Kernel process(child.hProcess), thread(child.hThread);
    WaitForSingleObject(process.get(), 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    return code == 0;
}

// Settings that send the query to a port where nothing listens, and let
// the sliding panel show at once.
void PointSettingsAt(uint16_t refusingPort) {
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(refusingPort));
    WriteIni("NEXTPANEL", "INTERVAL", "-1");
}

bool TipOnScreen() {
    HWND panel = FindWindowA("slipzemtraMessPanelClass", nullptr);
    if (panel == nullptr) return false;
    return PumpUntil(
        [&] {
            if (!IsWindowVisible(panel)) SendMessageA(panel, WM_TIMER, kPollTimer, 0);
            RECT work{}, r{};
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
            GetWindowRect(panel, &r);
            return IsWindowVisible(panel) && r.bottom == work.bottom;
        },
        20000);
}

DWORD WINAPI HostThread(void*) { return 0; }

struct Stages {
    long before = 0, loaded = 0, started = 0, shown = 0;
    bool onScreen = false;
};

// LoadLibrary, msg_init, a tip with its picture on screen, msg_exit,
// FreeLibrary; false when the library is missing.
bool Cycle(const std::string& path, Stages* stages) {
    stages->before = AnonymousKb();
    DllUnderTest dll(path);
    if (!dll.Loaded()) return false;
    stages->loaded = AnonymousKb();
    dll.msg_init();
    dll.set_clinettype("STD", 3);
    dll.set_username("bench", 5);
    PumpMessages(200);
    stages->started = AnonymousKb();
    stages->onScreen = TipOnScreen();
    PumpMessages(200);
    stages->shown = AnonymousKb();
    dll.msg_exit();
    return true;
}

int LoadFreeCycle(const std::string& path) {
    DllUnderTest dll(path);
    return dll.Loaded() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitialize(nullptr);
    if (argc == 2 && std::strcmp(argv[1], "--prepare") == 0) return PrepareHostFolder() ? 0 : 1;
    const std::string path = argc == 3 && std::strcmp(argv[1], "--dll") == 0 ? argv[2] : "";
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    MakeHostWindow();
    // A host has threads of its own; under Wine the first extra thread of a
    // process costs about 1 MB once, whoever starts it.
    const handles::Kernel thread(CreateThread(nullptr, 0, HostThread, nullptr, 0, nullptr));
    WaitForSingleObject(thread.get(), INFINITE);
    LoopbackTipsServer refusing(TipsFault::kRefuse);
    if (!PrepareInChild()) {
        std::printf("footprint: the host folder could not be prepared (no JPEG encoder?)\n");
        return 1;
    }
    PointSettingsAt(refusing.Port());
    CountProcess();  // opens what the counting itself keeps
    PumpMessages(200);
    Stages first, second;
    if (!Cycle(path, &first)) {
        std::printf("footprint: tiprelay.dll not found beside the bench\n");
        return 1;
    }
    // What stays once for the process (system libraries and their caches)
    // stays after the first cycle; later cycles show what each one leaves.
    PrepareInChild();
    PointSettingsAt(refusing.Port());
    PumpMessages(200);
    int handles = CountKernelHandles();
    Cycle(path, &second);
    PumpMessages(200);
    const int leftByStart = CountKernelHandles() - handles;
    LoadFreeCycle(path);
    handles = CountKernelHandles();
    for (int i = 0; i < 10; ++i) LoadFreeCycle(path);
    const int leftByLoads = CountKernelHandles() - handles;

    std::printf("footprint: LoadLibrary %+ld KB, msg_init %+ld KB, tip with picture on screen %+ld KB%s\n",
                first.loaded - first.before, first.started - first.loaded, first.shown - first.started,
                first.onScreen && second.onScreen ? "" : " (the tip did not show)");
    std::printf("footprint: from LoadLibrary to the tip on screen %+ld KB of anonymous memory\n",
                first.shown - first.before);
    std::printf("footprint: kernel handles left by a further start, tip and stop: %d; by 10 LoadLibrary and "
                "FreeLibrary cycles: %d\n", leftByStart, leftByLoads);
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
    WSACleanup();
    CoUninitialize();
    return first.onScreen && second.onScreen ? 0 : 1;
}
