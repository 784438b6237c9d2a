// tiphost: a small host program. It loads tiprelay.dll from its own folder
// the way a host application does, hands over the identity, runs a message
// loop for a while (which serves the panels' timers and input) and stops
// the library again.
//
//   tiphost.exe [--user NAME] [--pid PID] [--message-id N] [--seconds N] [--dpi aware|unaware]
//
// --dpi aware declares the process DPI-aware before msg_init, as a host
// that draws sharply on high-DPI screens does; --dpi unaware makes its
// thread DPI-unaware, as a host is by default on Windows (Wine otherwise
// treats every program as aware).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/handles.h"
#include "tiprelay.h"

namespace {

struct Options {
    std::string user;
    std::string pid;
    long messageId = 0;
    bool hasMessageId = false;
    long seconds = 5;
    std::string dpi;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value == nullptr) return false;
        if (std::strcmp(arg, "--user") == 0) {
            options->user = value;
        } else if (std::strcmp(arg, "--pid") == 0) {
            options->pid = value;
        } else if (std::strcmp(arg, "--message-id") == 0) {
            options->messageId = std::strtol(value, nullptr, 10);
            options->hasMessageId = true;
        } else if (std::strcmp(arg, "--dpi") == 0) {
            options->dpi = value;
            if (options->dpi != "aware" && options->dpi != "unaware") return false;
        } else if (std::strcmp(arg, "--seconds") == 0) {
            options->seconds = std::strtol(value, nullptr, 10);
        } else {
            return false;
        }
        ++i;
    }
    return options->seconds >= 0;
}

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

// Runs the thread's message loop until `seconds` have passed.
void RunMessageLoop(long seconds) {
    const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(seconds * 1000), nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == timer) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    KillTimer(nullptr, timer);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: tiphost [--user NAME] [--pid PID] [--message-id N] [--seconds N] [--dpi aware|unaware]\n");
        return 2;
    }
    if (options.dpi == "aware") SetProcessDPIAware();
    if (options.dpi == "unaware") {
        using SetContext = HANDLE(WINAPI*)(HANDLE);
        const auto set = reinterpret_cast<SetContext>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext"));
        // DPI_AWARENESS_CONTEXT_UNAWARE
        if (set != nullptr) set(reinterpret_cast<HANDLE>(-1));
    }
    CoInitialize(nullptr);

    const std::string dllPath = OwnFolder() + "\\tiprelay.dll";
    handles::Module dll(LoadLibraryA(dllPath.c_str()));
    if (!dll) {
        std::fprintf(stderr, "tiphost: cannot load %s (error %lu)\n", dllPath.c_str(), GetLastError());
        return 1;
    }
    auto msgInit = reinterpret_cast<decltype(&msg_init)>(GetProcAddress(dll.get(), "msg_init"));
    auto msgExit = reinterpret_cast<decltype(&msg_exit)>(GetProcAddress(dll.get(), "msg_exit"));
    auto setUser = reinterpret_cast<decltype(&set_username)>(GetProcAddress(dll.get(), "set_username"));
    auto setType = reinterpret_cast<decltype(&set_clinettype)>(GetProcAddress(dll.get(), "set_clinettype"));
    auto setMessage = reinterpret_cast<decltype(&SetMessageID)>(GetProcAddress(dll.get(), "SetMessageID"));
    if (!msgInit || !msgExit || !setUser || !setType || !setMessage) {
        std::fprintf(stderr, "tiphost: %s lacks an export\n", dllPath.c_str());
        return 1;
    }

    const int started = msgInit(0);
    if (!options.pid.empty()) setType(options.pid.data(), static_cast<int>(options.pid.size()), 0);
    if (!options.user.empty()) setUser(options.user.data(), static_cast<int>(options.user.size()), 0);
    if (options.hasMessageId) setMessage(static_cast<int>(options.messageId));
    std::printf("tiphost: msg_init returned %d\n", started);
    std::fflush(stdout);

    RunMessageLoop(options.seconds);

    const DWORD before = GetTickCount();
    const int stopped = msgExit();
    std::printf("tiphost: msg_exit returned %d after %lu ms\n", stopped, GetTickCount() - before);
    dll.reset();
    CoUninitialize();
    return started == 1 && stopped == 1 ? 0 : 1;
}
