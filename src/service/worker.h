// The worker thread: one query cycle per start of the library, then it ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

class CDataService;
struct WorkerJob;

// How long the worker waits for the host to finish its start-up calls
// (identity, message ID) before it builds its query anyway.
constexpr DWORD kHostSettleBoundMs = 1000;
// How long the service stop waits for the worker to end.
constexpr DWORD kWorkerStopBoundMs = 500;

class CWorker {
public:
    CWorker();
    ~CWorker();
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    // Starts the thread; the service's settings, paths and store must be in
    // place. False when no thread could be made.
    bool Start(CDataService* service, bool writeDataFiles);
    // Makes a waiting worker give up its network calls, then waits for it
    // within kWorkerStopBoundMs. True when the store and the service are free
    // of the worker; false when it had to be left to finish a store step on
    // its own (it then touches nothing more, but the store must stay).
    bool Stop();
    bool Running() const { return thread_ != nullptr; }
    // The message ID that the query carried, or `fallback` when the worker
    // has built no query.
    uint32_t QueriedMessageId(uint32_t fallback) const;

private:
    std::shared_ptr<WorkerJob> job_;
    HANDLE thread_ = nullptr;
};
