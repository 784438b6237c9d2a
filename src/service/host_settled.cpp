#include "service/host_settled.h"

CHostSettled::CHostSettled() : m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

void CHostSettled::Wait(DWORD boundMs) const {
    if (m_event) WaitForSingleObject(m_event.get(), boundMs);
}

void CHostSettled::Release() const {
    if (m_event) SetEvent(m_event.get());
}
