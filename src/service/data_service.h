// The tip service: settings and working paths, the client identity, the
// data files, the worker thread with its one query cycle, and the stop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "service/exchange_inputs.h"
#include "service/host_paths.h"
#include "service/service_settings.h"
#include "service/worker.h"

class CHostSettled;
class CIdentity;
class CShowDataList;

class CDataService {
public:
    CDataService();
    virtual ~CDataService();
    CDataService(const CDataService&) = delete;
    CDataService& operator=(const CDataService&) = delete;

    // 1 when the start ran through, 0 when it stopped early for lack of a
    // usable host folder (then there are no paths, settings or worker).
    int32_t Start();
    // Saves the history, ends the worker, lets go of the store. Always 1.
    int32_t Stop();

    // At an unload without a stop: the worker is told to stop and not
    // waited for, the host's timer goes; the store is left as it is.
    void Abandon();

    int32_t SetIdentity(const char* name, int32_t nameCount, const char* pid, int32_t pidCount);
    void SetMessageID(uint32_t messageId);
    QueryIdentity CopyIdentity() const;
    // Tells this start's worker that the host's thread is back in its
    // message loop; harmless after the stop. Null before a start.
    std::function<void()> HostLoopSignal() const;

    int32_t GetPanelInterval() const { return m_settings.panelInterval; }
    const HostPaths& Paths() const { return m_paths; }
    const ServiceSettings& Settings() const { return m_settings; }
    CShowDataList* Store() const { return m_store.get(); }
    // True when this start loaded the data files (no message ID was set when
    // it ran), and so writes them back: a message ID set later changes the
    // query, not what happens to the files.
    bool OwnsDataFiles() const { return m_loadedDataFiles; }

private:
    // The settings file, the server and the data folder, a line each.
    void LogStart(const std::string& settingsFile) const;
    // message.dat, then messdisplay.dat, into the store.
    void LoadDataFiles();
    // messdisplay.dat from the store's display history.
    void SaveHistory();

    std::shared_ptr<CIdentity> m_identity;
    std::shared_ptr<CHostSettled> m_hostSettled;
    std::shared_ptr<CShowDataList> m_store;
    CWorker m_worker;
    HostPaths m_paths;
    ServiceSettings m_settings;
    bool m_loadedDataFiles = false;
};
