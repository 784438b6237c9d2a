#include "service/worker.h"

#include <atomic>
#include <utility>

#include "platform/platform.h"
#include "service/exchange_failure.h"
#include "service/host_settled.h"
#include "service/identity.h"
#include "service/picture_pass.h"
#include "service/query_exchange.h"
#include "service/settings.h"
#include "service/worker_stop.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

// Everything the worker touches, held for as long as it runs.
struct WorkerJob {
    WorkerValues values;
    std::shared_ptr<CShowDataList> store;
    std::shared_ptr<const CIdentity> identity;
    std::shared_ptr<const CHostSettled> settled;
    CWorkerStop stop;
};

namespace {

std::atomic<void (*)()> g_storeStepHook{nullptr};

// The server sends an answer's tips once: its last-time value moves on only
// when they are stored, else the next start asks for them again.
void SaveAnswer(WorkerJob& job, const ExchangeOutcome& exchange) {
    if (!SaveTipFile(job.values.tipFile.c_str(), job.store.get())) {
        platform::DebugLine("DataService tip file not saved; the last time stays");
        LogStepFailure("DataService save tip file", "file write failed: " + job.values.tipFile);
        return;
    }
    const std::string& settingsFile = job.values.target.settingsFile;
    if (exchange.lastTimeDue && !WriteSettingInt(settingsFile.c_str(), "LASTTIME", "PID", exchange.lastTime))
        LogStepFailure("DataService write settings", "file write failed: " + settingsFile);
}

void RunQueryCycle(WorkerJob& job) {
    // The host hands over its identity and message ID right after msg_init;
    // the query must carry them.
    job.settled->Wait(kHostSettleBoundMs);
    const QueryIdentity identity = job.identity->Copy();

    platform::DebugLine("QueryMessage begin");
    const ExchangeOutcome exchange = RunQueryExchange(job.values.target, identity, job.store.get(), &job.stop);
    platform::DebugLine("QueryMessage finish");
    platform::DebugLine("QueryPicture begin");
    RunPicturePass(job.store.get(), job.values.tipsFolder.c_str(), &job.stop);
    platform::DebugLine("QueryPicture finish");

    CGateHold gate(&job.stop);
    if (!gate.held()) return;
    if (auto hook = g_storeStepHook.load()) hook();
    if (exchange.completed && job.values.writeTipFile) SaveAnswer(job, exchange);
    job.store->SetReady();
}

}  // namespace

void SetWorkerStoreStepHookForTest(void (*hook)()) { g_storeStepHook.store(hook); }

CWorker::~CWorker() { Stop(); }

bool CWorker::Start(const WorkerValues& values, std::shared_ptr<CShowDataList> store,
                    std::shared_ptr<const CIdentity> identity, std::shared_ptr<const CHostSettled> settled) {
    if (!store || !identity || !settled) return false;
    auto job = std::make_shared<WorkerJob>();
    job->values = values;
    job->store = std::move(store);
    job->identity = std::move(identity);
    job->settled = std::move(settled);
    m_thread = platform::StartPinnedThread("worker", [job] { RunQueryCycle(*job); });
    if (!m_thread) return false;
    m_job = std::move(job);
    return true;
}

void CWorker::WalkAway() {
    if (!m_thread) return;
    m_job->stop.Request();
    m_job->stop.GiveUp();
    m_thread.reset();
    m_job.reset();
}

bool CWorker::Stop() {
    if (!m_thread) return true;
    m_job->stop.Request();
    bool free = true;
    if (WaitForSingleObject(m_thread.get(), kWorkerStopBoundMs) != WAIT_OBJECT_0) free = m_job->stop.GiveUp();
    m_thread.reset();
    m_job.reset();
    return free;
}
