// The .def exports the six functions under their plain names; compiling
// them against the host's header proves that both agree.
#define TIPRELAY_API
#include "tiprelay.h"

#include <windows.h>

#include <atomic>

#include "api/tip_manager.h"
#include "platform/edge.h"

// The one global of the host interface. The host calls every export from
// its user-interface thread, so the pointer needs no lock.
static CTipManager* g_manager = nullptr;
// The thread that called msg_init. Every thread that ends passes through
// DllMain, the library's own helpers included: only this one may look at
// the manager there, since no export runs on it at the same time.
static std::atomic<DWORD> g_startThread{0};

// Stops and deletes a manager; nothing that fails in here reaches the host.
static void StopAndDelete(CTipManager* manager) {
    platform::Contain("manager stop", [manager] { manager->Stop(); });
    platform::Contain("manager delete", [manager] { delete manager; });
}

// A host that unloads the library without msg_exit would leave panel
// windows whose timers call into unloaded code: detach them. At process
// exit (reserved non-null) nothing runs any more, so nothing is done.
// A thread that started the library and ends before msg_exit takes the
// panels with it: say so.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_THREAD_DETACH && GetCurrentThreadId() == g_startThread.load() && g_manager != nullptr) {
        CTipManager* manager = g_manager;
        platform::Contain("thread end", [manager] { manager->ThreadEnding(); });
    }
    if (reason != DLL_PROCESS_DETACH || reserved != nullptr) return TRUE;
    CTipManager* manager = g_manager;
    g_manager = nullptr;
    if (manager != nullptr) platform::Contain("unload", [manager] { manager->AbandonAtUnload(); });
    return TRUE;
}

extern "C" int32_t __stdcall msg_init(int32_t) {
    return platform::Contain("msg_init", 1, [] {
        // A second start without a stop would leave a worker and a second
        // pair of live panels behind: stop the running manager first.
        if (CTipManager* running = g_manager) {
            g_manager = nullptr;
            StopAndDelete(running);
        }
        g_startThread.store(GetCurrentThreadId());
        g_manager = new CTipManager();
        g_manager->SetMessageID(0);
        g_manager->Start();
        return 1;
    });
}

extern "C" int32_t __stdcall msg_exit() {
    CTipManager* manager = g_manager;
    if (manager == nullptr) return 0;
    StopAndDelete(manager);
    g_manager = nullptr;
    return 1;
}

extern "C" int32_t __stdcall set_clinettype(const char* pid, int32_t count, int32_t) {
    return platform::Contain("set_clinettype", 1, [=] {
        if (g_manager != nullptr) g_manager->SetIdentity(nullptr, 0, pid, count);
        return 1;
    });
}

extern "C" int32_t __stdcall set_username(const char* name, int32_t count, int32_t) {
    return platform::Contain("set_username", 1, [=] {
        if (g_manager != nullptr) g_manager->SetIdentity(name, count, nullptr, 0);
        return 1;
    });
}

extern "C" int32_t __stdcall show_onetips(int32_t) { return 1; }

extern "C" int32_t __stdcall SetMessageID(int32_t messageId) {
    return platform::Contain("SetMessageID", 1, [=] {
        if (g_manager != nullptr) g_manager->SetMessageID(static_cast<uint32_t>(messageId));
        return 1;
    });
}
