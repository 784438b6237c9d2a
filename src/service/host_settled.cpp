#include "service/host_settled.h"

namespace {
// Thread timers carry no context; one service runs at a time.
HANDLE g_pendingEvent = nullptr;

void CALLBACK OnHostLoop(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (g_pendingEvent != nullptr) SetEvent(g_pendingEvent);
}
}  // namespace

void CHostSettled::Disarm() {
    if (timer_ != 0) KillTimer(nullptr, timer_);
    timer_ = 0;
    if (g_pendingEvent == event_.get()) g_pendingEvent = nullptr;
}

bool CHostSettled::Arm() {
    event_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event_) return false;
    g_pendingEvent = event_.get();
    timer_ = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, OnHostLoop);
    if (timer_ == 0) {
        SetEvent(event_.get());
        return false;
    }
    return true;
}

void CHostSettled::Wait(DWORD boundMs) const {
    if (event_) WaitForSingleObject(event_.get(), boundMs);
}

void CHostSettled::Release() const {
    if (event_) SetEvent(event_.get());
}
