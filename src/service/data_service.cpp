#include "service/data_service.h"

#include <windows.h>

#include <string>

#include "platform/edge.h"
#include "service/host_settled.h"
#include "service/identity.h"
#include "service/settings.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

CDataService::CDataService() : identity_(std::make_shared<CIdentity>()) {}

// The thread is the stop's business; only the host's timer goes here, on
// the host's thread.
CDataService::~CDataService() {
    if (hostSettled_) hostSettled_->Disarm();
}

int32_t CDataService::Start() {
    store_ = CShowDataList::SharedInstance();

    char executable[kPathBufferSize + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, executable, sizeof executable);
    // A path that filled the buffer was cut: treat it like a path without a
    // folder rather than work in a wrong place.
    if (length == 0 || length >= kPathBufferSize) return 0;
    if (!BuildHostPaths(executable, &paths_)) return 0;

    CreateDirectoryA(paths_.tipsFolder, nullptr);
    // The store deletes picture files only inside the tips folder.
    if (store_) store_->SetPictureFolder(paths_.tipsFolder);
    settings_ = ReadSettings(paths_.settingsFile);
    if (settings_.testMessageId > 0) SetMessageID(static_cast<uint32_t>(settings_.testMessageId));
    // A run for one message ID neither loads nor writes the user's files.
    loadedDataFiles_ = identity_->Copy().messageId == 0;

    hostSettled_ = std::make_shared<CHostSettled>();
    hostSettled_->Arm();
    WorkerValues values;
    values.target.serverHost = settings_.serverHost;
    values.target.serverPort = static_cast<uint16_t>(settings_.serverPort);
    values.target.lastTime = settings_.lastTime;
    values.target.settingsFile = paths_.settingsFile;
    values.tipsFolder = paths_.tipsFolder;
    values.tipFile = paths_.tipFile;
    values.writeTipFile = loadedDataFiles_;
    worker_.Start(values, store_, identity_, hostSettled_);

    if (loadedDataFiles_) LoadDataFiles();
    return 1;
}

int32_t CDataService::Stop() {
    platform::Contain("CDataService::Stop", [this] {
        if (loadedDataFiles_) SaveHistory();
        if (hostSettled_) {
            hostSettled_->Release();
            hostSettled_->Disarm();
        }
        worker_.Stop();
    });
    // A worker left to finish a store step keeps its own hold on this store;
    // the next start gets a new, empty one.
    if (store_) CShowDataList::DestroyInstance();
    store_.reset();
    hostSettled_.reset();
    return 1;
}

void CDataService::LoadDataFiles() {
    if (!store_) return;
    LoadTipFile(paths_.tipFile, store_.get());
    LoadDisplayFile(paths_.historyFile, store_.get());
}

void CDataService::SaveHistory() {
    if (!store_) return;
    SaveDisplayFile(paths_.historyFile, store_.get());
}

int32_t CDataService::SetIdentity(const char* name, int32_t nameCount, const char* pid,
                                  int32_t pidCount) {
    if (nameCount > 0 && name != nullptr) {
        std::string value(name, static_cast<size_t>(nameCount));
        identity_->SetUserName(value);
        platform::DebugLine("Set UserName:");
        platform::DebugLine(value.c_str());
    }
    if (pidCount > 0 && pid != nullptr) {
        std::string value(pid, static_cast<size_t>(pidCount));
        identity_->SetPid(value);
        platform::DebugLine("Set PID:");
        platform::DebugLine(value.c_str());
    }
    return 1;
}

void CDataService::SetMessageID(uint32_t messageId) { identity_->SetMessageId(messageId); }

QueryIdentity CDataService::CopyIdentity() const { return identity_->Copy(); }
