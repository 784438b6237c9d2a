// The service's links to the store, the data files and the worker, kept
// apart so the service's own start and stop read as their steps.
#pragma once

#include <windows.h>

class CDataService;
class CShowDataList;

// The process-wide store for this run (created on first use).
CShowDataList* AttachStore(CDataService* service);
// Destroys the process-wide store once nothing can touch it any more.
void DetachStore(CDataService* service);

// message.dat, then messdisplay.dat, into the store.
void LoadDataFiles(CDataService* service);
// messdisplay.dat from the store's display history.
void SaveHistory(CDataService* service);

// Starts the worker thread with its one query cycle; null when none runs.
HANDLE StartWorker(CDataService* service);
// Ends the worker within the stop's bound and closes its handle.
void StopWorker(CDataService* service, HANDLE worker);
