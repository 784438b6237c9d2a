#include "service/data_service.h"

#include "service/settings.h"
#include "service/service_hooks.h"
#include "store/show_data_list.h"

CDataService::CDataService() = default;

// The thread and the store are the stop's business, not destruction's.
CDataService::~CDataService() = default;

int32_t CDataService::Start() {
    store_ = AttachStore(this);

    char executable[kPathBufferSize + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, executable, sizeof executable);
    // A path that filled the buffer was cut: treat it like a path without a
    // folder rather than work in a wrong place.
    if (length == 0 || length >= kPathBufferSize) return 0;
    if (!BuildHostPaths(executable, &paths_)) return 0;

    CreateDirectoryA(paths_.tipsFolder, nullptr);
    // The store deletes picture files only inside the tips folder.
    if (store_ != nullptr) store_->SetPictureFolder(paths_.tipsFolder);
    settings_ = ReadSettings(paths_.settingsFile);
    if (settings_.testMessageId > 0) SetMessageID(static_cast<uint32_t>(settings_.testMessageId));

    uint32_t messageId;
    {
        platform::LockGuard hold(identityLock_);
        messageId = messageId_;
    }
    loadedDataFiles_ = messageId == 0;

    hostSettled_.Arm();
    worker_.Start(this, loadedDataFiles_);

    if (loadedDataFiles_) LoadDataFiles(this);
    return 1;
}

int32_t CDataService::Stop() {
    try {
        // A run whose query asked for one message ID must not overwrite the
        // user's display history with its own.
        const uint32_t messageId = worker_.QueriedMessageId(CopyIdentity().messageId);
        if (loadedDataFiles_ && messageId == 0) SaveHistory(this);
        hostSettled_.Release();
        const bool storeFree = worker_.Stop();
        // A worker left to finish a store step keeps the store alive.
        if (storeFree && store_ != nullptr) DetachStore(this);
        store_ = nullptr;
    } catch (...) {
    }
    return 1;
}

int32_t CDataService::SetIdentity(const char* name, int32_t nameCount, const char* pid,
                                  int32_t pidCount) {
    if (nameCount > 0 && name != nullptr) {
        std::string value(name, static_cast<size_t>(nameCount));
        {
            platform::LockGuard hold(identityLock_);
            userName_ = value;
        }
        platform::DebugLine("Set UserName:");
        platform::DebugLine(value.c_str());
    }
    if (pidCount > 0 && pid != nullptr) {
        std::string value(pid, static_cast<size_t>(pidCount));
        {
            platform::LockGuard hold(identityLock_);
            pid_ = value;
        }
        platform::DebugLine("Set PID:");
        platform::DebugLine(value.c_str());
    }
    return 1;
}

void CDataService::SetMessageID(uint32_t messageId) {
    platform::LockGuard hold(identityLock_);
    messageId_ = messageId;
}

QueryIdentity CDataService::CopyIdentity() {
    platform::LockGuard hold(identityLock_);
    return QueryIdentity{userName_, pid_, messageId_};
}
