#include "service/worker.h"

#include <atomic>
#include <string>

#include "platform/platform.h"
#include "protocol/pinned_thread_win.h"
#include "service/data_service.h"
#include "service/picture_download.h"
#include "service/query_exchange.h"
#include "service/worker_stop.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

// What the worker works with. The settings and paths are copies, so that a
// worker that the stop had to leave behind never reads a deleted service.
struct WorkerJob {
    CDataService* service = nullptr;  // touched only inside the stop gate
    CShowDataList* store = nullptr;   // likewise
    ExchangeTarget target;
    std::string tipsFolder;
    std::string tipFile;
    bool writeDataFiles = false;
    CWorkerStop stop;
    std::atomic<int64_t> queriedMessageId{-1};
};

namespace {

void RunQueryCycle(WorkerJob& job) {
    QueryIdentity identity;
    {
        CGateHold gate(&job.stop);
        if (!gate.held()) return;
        // The host hands over its identity and message ID right after
        // msg_init; the query must carry them.
        job.service->HostSettled().Wait(kHostSettleBoundMs);
        identity = job.service->CopyIdentity();
        job.queriedMessageId = identity.messageId;
    }

    platform::DebugLine("QueryMessage begin");
    const int completed = RunQueryExchange(job.target, identity, &job.stop);
    platform::DebugLine("QueryMessage finish");
    platform::DebugLine("QueryPicture begin");
    RunPicturePass(job.store, job.tipsFolder.c_str(), &job.stop);
    platform::DebugLine("QueryPicture finish");

    CGateHold gate(&job.stop);
    if (!gate.held()) return;
    // A run for one message ID loaded no data files, so it must not replace
    // the user's tips with its own.
    if (completed == 1 && job.writeDataFiles && identity.messageId == 0) {
        SaveTipFile(job.tipFile.c_str(), job.store);
    }
    job.store->SetReady();
}

void WorkerThread(void* argument) {
    std::shared_ptr<WorkerJob> job;
    job.swap(*static_cast<std::shared_ptr<WorkerJob>*>(argument));
    delete static_cast<std::shared_ptr<WorkerJob>*>(argument);
    try {
        RunQueryCycle(*job);
    } catch (...) {
    }
}

}  // namespace

CWorker::CWorker() = default;

CWorker::~CWorker() {
    if (thread_ != nullptr) Stop();
}

bool CWorker::Start(CDataService* service, bool writeDataFiles) {
    auto job = std::make_shared<WorkerJob>();
    job->service = service;
    job->store = service->Store();
    const ServiceSettings& settings = service->Settings();
    job->target.serverHost = settings.serverHost;
    job->target.serverPort = static_cast<uint16_t>(settings.serverPort);
    job->target.lastTime = settings.lastTime;
    job->target.settingsFile = service->Paths().settingsFile;
    job->tipsFolder = service->Paths().tipsFolder;
    job->tipFile = service->Paths().tipFile;
    job->writeDataFiles = writeDataFiles;
    if (job->store == nullptr) return false;

    auto* handOver = new std::shared_ptr<WorkerJob>(job);
    thread_ = StartPinnedThread(WorkerThread, handOver);
    if (thread_ == nullptr) {
        delete handOver;
        return false;
    }
    job_ = job;
    return true;
}

bool CWorker::Stop() {
    if (thread_ == nullptr) return true;
    job_->stop.Request();
    bool free = true;
    if (WaitForSingleObject(thread_, kWorkerStopBoundMs) != WAIT_OBJECT_0) {
        free = job_->stop.GiveUp();
    }
    CloseHandle(thread_);
    thread_ = nullptr;
    return free;
}

uint32_t CWorker::QueriedMessageId(uint32_t fallback) const {
    if (!job_) return fallback;
    const int64_t queried = job_->queriedMessageId.load();
    return queried < 0 ? fallback : static_cast<uint32_t>(queried);
}
