// The worker thread: one query cycle per start of the library, then it ends.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/pinned_thread_win.h"
#include "service/exchange_inputs.h"

class CHostSettled;
class CIdentity;
class CShowDataList;
struct WorkerJob;

// How long the worker waits for the host to finish its start-up calls
// (identity, message ID) before it builds its query anyway.
constexpr DWORD kHostSettleBoundMs = 1000;
// How long the service stop waits for the worker to end.
constexpr DWORD kWorkerStopBoundMs = 500;

// The values of the worker's job, copied from the service at start.
struct WorkerValues {
    ExchangeTarget target;
    std::string tipsFolder;
    std::string tipFile;
    // A start that loaded message.dat writes it back after a completed
    // exchange; one that did not leaves the user's file alone.
    bool writeTipFile = false;
};

class CWorker {
public:
    CWorker() = default;
    ~CWorker();
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    // Starts the thread. It shares the store, the identity and the host's
    // settle signal, so a worker left behind by the stop keeps them alive
    // and touches nothing of the service. False when no thread could be made.
    bool Start(const WorkerValues& values, std::shared_ptr<CShowDataList> store,
               std::shared_ptr<const CIdentity> identity, std::shared_ptr<const CHostSettled> settled);
    // Makes a waiting worker give up its network calls, then waits for it
    // within kWorkerStopBoundMs. True when it ended or was outside any store
    // step; false when it had to be left to finish a store step on its own
    // (it then touches nothing more, and lets go of the store at its end).
    bool Stop();
    // Asks the worker to stop and waits for nothing: it holds its own job
    // and library reference and ends on its own.
    void WalkAway();

private:
    std::shared_ptr<WorkerJob> m_job;
    handles::Kernel m_thread;
};

// Test seam: called by the worker inside its last store step.
void SetWorkerStoreStepHookForTest(void (*hook)());
