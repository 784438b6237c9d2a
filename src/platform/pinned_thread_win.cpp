#include "platform/pinned_thread_win.h"

#include <memory>
#include <utility>

#include "platform/edge.h"

namespace platform {
namespace {

struct ThreadStart {
    const char* edge;
    std::function<void()> body;
    HMODULE pin;
};

DWORD WINAPI PinnedThreadEntry(void* raw) {
    HMODULE pin = static_cast<ThreadStart*>(raw)->pin;
    const char* edge = static_cast<ThreadStart*>(raw)->edge;
    // The body, and what it holds, is gone before the module reference.
    Contain(edge, [raw] {
        std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
        start->body();
    });
    if (pin != nullptr) FreeLibraryAndExitThread(pin, 0);
    return 0;
}

}  // namespace

ThreadHandle StartPinnedThread(const char* edge, std::function<void()> body, SIZE_T stackReservation) {
    return Contain(edge, ThreadHandle(), [&] {
        auto start = std::make_unique<ThreadStart>(ThreadStart{edge, std::move(body), nullptr});
        // Taken here, before the caller can return to a host that unloads us.
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCSTR>(&PinnedThreadEntry), &start->pin);
        HANDLE thread = CreateThread(nullptr, stackReservation, PinnedThreadEntry, start.get(),
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread == nullptr) {
            if (start->pin != nullptr) FreeLibrary(start->pin);
            return ThreadHandle();
        }
        start.release();
        return ThreadHandle(thread);
    });
}

}  // namespace platform
