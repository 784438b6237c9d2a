#include "protocol/pinned_thread_win.h"

namespace {

struct Start {
    void (*body)(void*);
    void* argument;
    HMODULE pin;
};

DWORD WINAPI PinnedThread(void* raw) {
    const Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    start.body(start.argument);
    if (start.pin != nullptr) FreeLibraryAndExitThread(start.pin, 0);
    return 0;
}

}  // namespace

HANDLE StartPinnedThread(void (*body)(void*), void* argument) {
    auto* start = new Start{body, argument, nullptr};
    // Taken here, before the caller can return to a host that unloads us.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&PinnedThread), &start->pin);
    HANDLE thread = CreateThread(nullptr, 0, PinnedThread, start, 0, nullptr);
    if (thread == nullptr) {
        if (start->pin != nullptr) FreeLibrary(start->pin);
        delete start;
    }
    return thread;
}
