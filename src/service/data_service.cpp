#include "service/data_service.h"

#include <windows.h>

#include <string>

#include "platform/edge.h"
#include "platform/platform.h"
#include "service/data_folder.h"
#include "service/host_settled.h"
#include "service/identity.h"
#include "service/settings.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

CDataService::CDataService() : m_identity(std::make_shared<CIdentity>()) {}

// The thread is the stop's business.
CDataService::~CDataService() = default;

int32_t CDataService::Start() {
    m_store = CShowDataList::SharedInstance();

    char executable[kPathBufferSize + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, executable, sizeof executable);
    // A path that filled the buffer was cut: treat it like a path without a
    // folder rather than work in a wrong place.
    if (length == 0 || length >= kPathBufferSize) return 0;
    if (!BuildHostPaths(executable, &m_paths)) return 0;

    const std::string hostSettings = m_paths.settingsFile;
    PlaceDataFolder(executable, &m_paths);
    // The store deletes picture files only inside the tips folder.
    if (m_store) m_store->SetPictureFolder(m_paths.tipsFolder);
    m_settings = ReadSettings(hostSettings.c_str());
    // Where the data moved, so did the values the server writes back.
    if (hostSettings != m_paths.settingsFile) ReadWrittenBack(m_paths.settingsFile, &m_settings);
    LogStart(hostSettings);
    if (m_settings.testMessageId > 0) SetMessageID(static_cast<uint32_t>(m_settings.testMessageId));
    // A run for one message ID neither loads nor writes the user's files.
    m_loadedDataFiles = m_identity->Copy().messageId == 0;

    m_hostSettled = std::make_shared<CHostSettled>();
    WorkerValues values;
    values.target.serverHost = m_settings.serverHost;
    values.target.serverPort = static_cast<uint16_t>(m_settings.serverPort);
    values.target.lastTime = m_settings.lastTime;
    values.target.settingsFile = m_paths.settingsFile;
    values.tipsFolder = m_paths.tipsFolder;
    values.tipFile = m_paths.tipFile;
    values.writeTipFile = m_loadedDataFiles;
    m_worker.Start(values, m_store, m_identity, m_hostSettled);

    if (m_loadedDataFiles) LoadDataFiles();
    return 1;
}

int32_t CDataService::Stop() {
    platform::Contain("CDataService::Stop", [this] {
        if (m_loadedDataFiles) SaveHistory();
        if (m_hostSettled) m_hostSettled->Release();
        m_worker.Stop();
    });
    // A worker left to finish a store step keeps its own hold on this store;
    // the next start gets a new, empty one.
    if (m_store) CShowDataList::DestroyInstance();
    m_store.reset();
    m_hostSettled.reset();
    return 1;
}

// Where this start looks: a host that sees no tip can tell a wrong server
// from a folder it did not expect.
void CDataService::LogStart(const std::string& settingsFile) const {
    const std::string server = m_settings.serverHost + ":" + std::to_string(static_cast<uint16_t>(m_settings.serverPort));
    const std::pair<const char*, const char*> lines[] = {{"DataService settings file:", settingsFile.c_str()},
                                                         {"DataService server:", server.c_str()},
                                                         {"DataService data folder:", m_paths.tipsFolder}};
    for (const auto& [label, value] : lines) {
        platform::DebugLine(label);
        platform::DebugLine(value);
    }
}

void CDataService::Abandon() {
    if (m_hostSettled) m_hostSettled->Release();
    m_worker.WalkAway();
}

void CDataService::LoadDataFiles() {
    if (!m_store) return;
    LoadTipFile(m_paths.tipFile, m_store.get());
    LoadDisplayFile(m_paths.historyFile, m_store.get());
}

void CDataService::SaveHistory() {
    if (!m_store) return;
    SaveDisplayFile(m_paths.historyFile, m_store.get());
}

int32_t CDataService::SetIdentity(const char* name, int32_t nameCount, const char* pid,
                                  int32_t pidCount) {
    if (nameCount > 0 && name != nullptr) {
        std::string value(name, static_cast<size_t>(nameCount));
        m_identity->SetUserName(value);
        platform::DebugLine("Set UserName:");
        platform::DebugLine(value.c_str());
    }
    if (pidCount > 0 && pid != nullptr) {
        std::string value(pid, static_cast<size_t>(pidCount));
        m_identity->SetPid(value);
        platform::DebugLine("Set PID:");
        platform::DebugLine(value.c_str());
    }
    return 1;
}

std::function<void()> CDataService::HostLoopSignal() const {
    return [settled = m_hostSettled] {
        if (settled) settled->Release();
    };
}

void CDataService::SetMessageID(uint32_t messageId) { m_identity->SetMessageId(messageId); }

QueryIdentity CDataService::CopyIdentity() const { return m_identity->Copy(); }
