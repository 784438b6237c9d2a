// The tip service: settings and working paths, the client identity, the
// worker thread with its one query cycle, and the service stop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "service/host_paths.h"
#include "service/host_settled.h"
#include "service/worker.h"

class CShowDataList;

// The tips server host used when message.ini names none. Operators of a
// deployment set [TCPSERVER] HOST in message.ini beside the host program.
extern const char kDefaultServerHost[];
constexpr int32_t kDefaultServerPort = 5200;
constexpr int32_t kDefaultPanelInterval = 30;

struct ServiceSettings {
    std::string serverHost;
    int32_t serverPort = 0;
    int32_t lastTime = 0;
    int32_t panelInterval = 0;
    int32_t testMessageId = 0;
};

// What the worker copies, under the identity lock, to build its query.
struct QueryIdentity {
    std::string userName;
    std::string pid;
    uint32_t messageId = 0;
};

class CDataService {
public:
    CDataService();
    virtual ~CDataService();
    CDataService(const CDataService&) = delete;
    CDataService& operator=(const CDataService&) = delete;

    // 1 when the start ran through, 0 when it stopped early for lack of a
    // usable host folder (then there are no paths, settings or worker).
    int32_t Start();
    // Saves the history, ends the worker, destroys the store. Always 1.
    int32_t Stop();

    int32_t SetIdentity(const char* name, int32_t nameCount, const char* pid, int32_t pidCount);
    void SetMessageID(uint32_t messageId);
    QueryIdentity CopyIdentity();

    int32_t GetPanelInterval() const { return settings_.panelInterval; }
    const HostPaths& Paths() const { return paths_; }
    const ServiceSettings& Settings() const { return settings_; }
    CShowDataList* Store() const { return store_; }
    // True when this run loaded the data files at start (no message ID was
    // set), and so may write them back (unless its query then carried a
    // message ID after all).
    bool OwnsDataFiles() const { return loadedDataFiles_; }
    // The worker waits on this before it copies the identity.
    const CHostSettled& HostSettled() const { return hostSettled_; }

private:
    CWorker worker_;
    CShowDataList* store_ = nullptr;
    platform::Lock identityLock_;
    std::string userName_;
    std::string pid_;
    HostPaths paths_;
    ServiceSettings settings_;
    uint32_t messageId_ = 0;
    bool loadedDataFiles_ = false;
    CHostSettled hostSettled_;
};
