#include "service/worker_stop.h"

#include <algorithm>

CWorkerStop::CWorkerStop() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CWorkerStop::~CWorkerStop() {
    Request();
    if (event_ != nullptr) CloseHandle(event_);
}

bool CWorkerStop::Requested() const {
    return event_ == nullptr || WaitForSingleObject(event_, 0) == WAIT_OBJECT_0;
}

void CWorkerStop::Request() {
    platform::LockGuard hold(lock_);
    requested_ = true;
    if (event_ != nullptr) SetEvent(event_);
    // Children before their parents: the request, then the session.
    for (auto it = tracked_.rbegin(); it != tracked_.rend(); ++it) InternetCloseHandle(*it);
    tracked_.clear();
}

bool CWorkerStop::Track(HINTERNET handle) {
    if (handle == nullptr) return false;
    platform::LockGuard hold(lock_);
    if (requested_) {
        InternetCloseHandle(handle);
        return false;
    }
    tracked_.push_back(handle);
    return true;
}

void CWorkerStop::Close(HINTERNET handle) {
    platform::LockGuard hold(lock_);
    auto it = std::find(tracked_.begin(), tracked_.end(), handle);
    if (it == tracked_.end()) return;
    InternetCloseHandle(handle);
    tracked_.erase(it);
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
