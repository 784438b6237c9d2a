#include "service/worker_stop.h"

#include <algorithm>
#include <utility>

CWorkerStop::CWorkerStop() : m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CWorkerStop::~CWorkerStop() { Request(); }

bool CWorkerStop::Requested() const { return !m_event || WaitForSingleObject(m_event.get(), 0) == WAIT_OBJECT_0; }

void CWorkerStop::Request() {
    platform::LockGuard hold(m_lock);
    m_requested = true;
    if (m_event) SetEvent(m_event.get());
    // Children before their parents: the request, then the session.
    while (!m_tracked.empty()) m_tracked.pop_back();
}

bool CWorkerStop::Track(HINTERNET handle) {
    handles::Internet owned(handle);
    if (!owned) return false;
    platform::LockGuard hold(m_lock);
    if (m_requested) return false;
    m_tracked.push_back(std::move(owned));
    return true;
}

void CWorkerStop::Close(HINTERNET handle) {
    platform::LockGuard hold(m_lock);
    auto it = std::find_if(m_tracked.begin(), m_tracked.end(),
                           [handle](const handles::Internet& h) { return h.get() == handle; });
    if (it != m_tracked.end()) m_tracked.erase(it);
}

bool CWorkerStop::Enter() {
    int expected = kOutside;
    return m_gate.compare_exchange_strong(expected, kInside);
}

void CWorkerStop::Leave() {
    int expected = kInside;
    m_gate.compare_exchange_strong(expected, kOutside);
}

bool CWorkerStop::GiveUp() { return m_gate.exchange(kGivenUp) != kInside; }
