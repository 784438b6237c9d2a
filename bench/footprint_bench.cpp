// Prints what the library costs a host that is already warmed up (its own
// window, COM and Windows Sockets started): the anonymous memory added at
// LoadLibrary, at msg_init, and once a tip with a picture is on screen, and
// the kernel handles left behind after msg_exit and FreeLibrary. Under Wine
// the private-bytes counter answers 0, so the memory is the process's
// resident anonymous memory as Linux counts it; on Windows, private bytes.
// Run beside tiprelay.dll; each run is one fresh process.
#include <windows.h>
#include <winsock2.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/tip_record.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_tips_server.h"
#include "support/process_counts.h"
#include "support/pump_until.h"
#include "support/test_pictures.h"
#include "support/tips_answer.h"
#include "wine_bench.h"

namespace {

constexpr UINT_PTR kPollTimer = 2;

// Kilobytes of anonymous memory the process holds now.
long AnonymousKb() {
    if (std::FILE* status = std::fopen("Z:\\proc\\self\\status", "r")) {
        char line[128];
        long kb = -1;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "RssAnon: %ld kB", &kb) == 1) break;
        std::fclose(status);
        if (kb >= 0) return kb;
    }
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return static_cast<long>(counters.PrivateUsage / 1024);
}

// One tip whose 100 x 133 JPEG is already in the tips folder, so that it
// shows at the first poll tick without a download.
bool PrepareHostFolder(uint16_t refusingPort) {
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(refusingPort));
    WriteIni("NEXTPANEL", "INTERVAL", "-1");
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

}  // namespace

int main() {
    CoInitialize(nullptr);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    MakeHostWindow();
    LoopbackTipsServer refusing(TipsFault::kRefuse);
    if (!PrepareHostFolder(refusing.Port())) {
        std::printf("footprint: no JPEG encoder\n");
        return 1;
    }
    CountProcess();  // opens what the counting itself keeps
    PumpMessages(200);
    const int handlesBefore = CountKernelHandles();
    const long before = AnonymousKb();
    long loaded = 0, started = 0, shown = 0;
    bool onScreen = false;
    {
        DllUnderTest dll;
        if (!dll.Loaded()) {
            std::printf("footprint: tiprelay.dll not found beside the bench\n");
            return 1;
        }
        loaded = AnonymousKb();
        dll.msg_init();
        dll.set_clinettype("STD", 3);
        dll.set_username("bench", 5);
        PumpMessages(200);
        started = AnonymousKb();
        onScreen = TipOnScreen();
        PumpMessages(200);
        shown = AnonymousKb();
        dll.msg_exit();
    }
    PumpMessages(200);
    const int handlesLeft = CountKernelHandles() - handlesBefore;
    std::printf("footprint: LoadLibrary %+ld KB, msg_init %+ld KB, tip with picture on screen %+ld KB%s\n",
                loaded - before, started - loaded, shown - started, onScreen ? "" : " (the tip did not show)");
    std::printf("footprint: from LoadLibrary to the tip on screen %+ld KB of anonymous memory\n", shown - before);
    std::printf("footprint: kernel handles left after msg_exit and FreeLibrary: %d\n", handlesLeft);
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
    WSACleanup();
    CoUninitialize();
    return onScreen ? 0 : 1;
}
