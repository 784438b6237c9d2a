#include "catalogue_watch.h"

namespace tipserver {

CatalogueWatch::CatalogueWatch(CatalogueSource& source, std::chrono::milliseconds look_every)
    : source_(source), look_every_(look_every) {}

CatalogueWatch::~CatalogueWatch() { Stop(); }

void CatalogueWatch::Start() {
    thread_ = std::thread([this] { Run(); });
}

void CatalogueWatch::RequestReload() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        requested_ = true;
    }
    wake_.notify_one();
}

void CatalogueWatch::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    source_.Abandon();
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void CatalogueWatch::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    auto next_look = std::chrono::steady_clock::now() + look_every_;
    while (!stopping_) {
        if (requested_) {
            requested_ = false;
            lock.unlock();
            source_.Reload("SIGHUP");
            lock.lock();
            continue;
        }
        if (wake_.wait_until(lock, next_look) == std::cv_status::timeout && !stopping_ && !requested_) {
            next_look = std::chrono::steady_clock::now() + look_every_;
            lock.unlock();
            source_.Poll();
            lock.lock();
        }
    }
}

}  // namespace tipserver
