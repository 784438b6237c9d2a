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
    if (m_timer != 0) KillTimer(nullptr, m_timer);
    m_timer = 0;
    if (g_pendingEvent == m_event.get()) g_pendingEvent = nullptr;
}

bool CHostSettled::Arm() {
    m_event.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!m_event) return false;
    g_pendingEvent = m_event.get();
    m_timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, OnHostLoop);
    if (m_timer == 0) {
        SetEvent(m_event.get());
        return false;
    }
    return true;
}

void CHostSettled::Wait(DWORD boundMs) const {
    if (m_event) WaitForSingleObject(m_event.get(), boundMs);
}

void CHostSettled::Release() const {
    if (m_event) SetEvent(m_event.get());
}
