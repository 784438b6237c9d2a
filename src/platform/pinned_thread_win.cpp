#include "platform/pinned_thread_win.h"

#include <memory>
#include <utility>

#include "platform/edge.h"

namespace platform {
namespace {

struct ThreadStart {
    const char* edge;
    std::function<void()> body;
    handles::Module pin;
};

DWORD WINAPI PinnedThreadEntry(void* raw) {
    // The thread's last instruction gives the module reference back.
    const HMODULE pin = static_cast<ThreadStart*>(raw)->pin.release();
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

handles::Kernel StartPinnedThread(const char* edge, std::function<void()> body, SIZE_T stackReservation) {
    return Contain(edge, handles::Kernel(), [&] {
        auto start = std::make_unique<ThreadStart>(ThreadStart{edge, std::move(body), {}});
        // Taken here, before the caller can return to a host that unloads us.
        HMODULE pin = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&PinnedThreadEntry),
                           &pin);
        start->pin.reset(pin);
        handles::Kernel thread(CreateThread(nullptr, stackReservation, PinnedThreadEntry, start.get(),
                                            STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (thread) start.release();
        return thread;
    });
}

}  // namespace platform
