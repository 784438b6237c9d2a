// The service's links to the store and the data files, kept apart so the
// service's own start and stop read as their steps.
#pragma once

class CDataService;
class CShowDataList;

// The process-wide store for this run (created on first use), told where
// its picture files live.
CShowDataList* AttachStore(CDataService* service);
// Destroys the process-wide store once nothing can touch it any more.
void DetachStore(CDataService* service);

// message.dat, then messdisplay.dat, into the store.
void LoadDataFiles(CDataService* service);
// messdisplay.dat from the store's display history.
void SaveHistory(CDataService* service);
