// The tip manager: the one object msg_init creates and msg_exit deletes.
// It owns, in this order, the tip service and the two panels, and brackets
// their life with one Windows Sockets start-up and cleanup.
#pragma once

#include <cstdint>

#include "panels/slip_mess_panel.h"
#include "panels/stat_mess_panel.h"
#include "service/data_service.h"

class CTipManager {
public:
    CTipManager();
    virtual ~CTipManager();
    CTipManager(const CTipManager&) = delete;
    CTipManager& operator=(const CTipManager&) = delete;

    // Service start, then the panels; a step that fails leaves the others be.
    void Start();
    // Service stop (history saved, worker ended, store destroyed), then the
    // panels' windows and timers. Each step's failure is contained.
    void Stop();

    // The library is unloaded without msg_exit: the worker is walked away
    // from and the panels are detached; nothing is freed under the loader lock.
    void AbandonAtUnload();
    // A thread of the host ends; if it made the panels, they end with it.
    void ThreadEnding();

    int32_t SetIdentity(const char* name, int32_t nameCount, const char* pid, int32_t pidCount);
    void SetMessageID(uint32_t messageId);

    CDataService& Service() { return m_service; }
    CSlipMessPanel& SlidingPanel() { return m_slidingPanel; }

private:
    CDataService m_service;
    CSlipMessPanel m_slidingPanel;
    CStatMessPanel m_staticPanel;
    bool m_socketsStarted = false;
};
