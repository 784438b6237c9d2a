#include "service/data_service.h"
#include "service/service_hooks.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

CShowDataList* AttachStore(CDataService*) { return CShowDataList::GetInstance(); }

void DetachStore(CDataService*) { CShowDataList::DestroyInstance(); }

void LoadDataFiles(CDataService* service) {
    CShowDataList* store = service->Store();
    if (store == nullptr) return;
    LoadTipFile(service->Paths().tipFile, store);
    LoadDisplayFile(service->Paths().historyFile, store);
}

void SaveHistory(CDataService* service) {
    CShowDataList* store = service->Store();
    if (store == nullptr) return;
    SaveDisplayFile(service->Paths().historyFile, store);
}
