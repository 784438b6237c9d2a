#include "service/worker_stop.h"

#include <algorithm>
#include <utility>

CWorkerStop::CWorkerStop() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CWorkerStop::~CWorkerStop() { Request(); }

bool CWorkerStop::Requested() const { return !event_ || WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0; }

void CWorkerStop::Request() {
    platform::LockGuard hold(lock_);
    requested_ = true;
    if (event_) SetEvent(event_.get());
    // Children before their parents: the request, then the session.
    while (!tracked_.empty()) tracked_.pop_back();
}

bool CWorkerStop::Track(HINTERNET handle) {
    handles::Internet owned(handle);
    if (!owned) return false;
    platform::LockGuard hold(lock_);
    if (requested_) return false;
    tracked_.push_back(std::move(owned));
    return true;
}

void CWorkerStop::Close(HINTERNET handle) {
    platform::LockGuard hold(lock_);
    auto it = std::find_if(tracked_.begin(), tracked_.end(),
                           [handle](const handles::Internet& h) { return h.get() == handle; });
    if (it != tracked_.end()) tracked_.erase(it);
}

bool CWorkerStop::Enter() {
    int expected = kOutside;
    return gate_.compare_exchange_strong(expected, kInside);
}

void CWorkerStop::Leave() {
    int expected = kInside;
    gate_.compare_exchange_strong(expected, kOutside);
}

bool CWorkerStop::GiveUp() { return gate_.exchange(kGivenUp) != kInside; }
