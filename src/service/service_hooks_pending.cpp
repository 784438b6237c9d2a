// Seams that the store, data-file and worker work fills in. Until then the
// service runs without a store, loads and saves nothing and starts no worker.
#include "service/service_hooks.h"

CShowDataList* AttachStore(CDataService*) { return nullptr; }
void DetachStore(CDataService*) {}
void LoadDataFiles(CDataService*) {}
void SaveHistory(CDataService*) {}
HANDLE StartWorker(CDataService*) { return nullptr; }
void StopWorker(CDataService*, HANDLE worker) {
    if (worker != nullptr) CloseHandle(worker);
}
