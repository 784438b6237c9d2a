// The catalogue's reloads on a thread of their own: a look at the files once
// a second, and reloads on request (SIGHUP). Requests that arrive while a
// reload runs become one more reload, however many they are, and the thread
// that takes signals never waits for a load: a stop is acted on at once,
// abandoning a load in progress.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "catalogue_source.h"

namespace tipserver {

class CatalogueWatch {
  public:
    CatalogueWatch(CatalogueSource& source, std::chrono::milliseconds look_every);
    ~CatalogueWatch();
    CatalogueWatch(const CatalogueWatch&) = delete;
    CatalogueWatch& operator=(const CatalogueWatch&) = delete;

    void Start();
    // Safe from any thread.
    void RequestReload();
    void Stop();

  private:
    void Run();

    CatalogueSource& source_;
    const std::chrono::milliseconds look_every_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tipserver
