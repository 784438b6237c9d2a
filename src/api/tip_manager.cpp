#include "api/tip_manager.h"

#include <winsock2.h>

#include "actions/agent_call_sequence.h"
#include "platform/edge.h"
#include "platform/platform.h"

CTipManager::CTipManager() {
    WSADATA data;
    // Version 2.1, as the host has always asked for; the result is not needed
    // because a failed start-up shows up as failed socket calls later.
    m_socketsStarted = WSAStartup(0x0102, &data) == 0;
}

CTipManager::~CTipManager() {
    if (m_socketsStarted) WSACleanup();
}

// Each step of the start and the stop is an edge of its own: a panel that
// fails to come up leaves the other one working.
void CTipManager::Start() {
    m_service.Start();
    platform::Contain("agent", [this] { SetDownloadAgentProgID(m_service.Settings().agentProgId.c_str()); });
    platform::Contain("sliding panel create", [this] { m_slidingPanel.Create(); });
    // The worker builds its query once the host's thread is back in its loop.
    platform::Contain("host loop signal", [this] { m_slidingPanel.SignalOnHostLoop(m_service.HostLoopSignal()); });
    platform::Contain("static panel create", [this] { m_staticPanel.Create(); });
    platform::Contain("panel interval", [this] { m_slidingPanel.SetInterval(m_service.GetPanelInterval()); });
}

void CTipManager::Stop() {
    platform::Contain("service stop", [this] { m_service.Stop(); });
    platform::Contain("sliding panel destroy", [this] { m_slidingPanel.Destroy(); });
    platform::Contain("static panel destroy", [this] { m_staticPanel.Destroy(); });
}

void CTipManager::AbandonAtUnload() {
    platform::DebugLine("tiprelay unloaded without msg_exit");
    m_service.Abandon();
    m_slidingPanel.DetachAtUnload();
    m_staticPanel.DetachAtUnload();
}

void CTipManager::ThreadEnding() {
    m_slidingPanel.ForgetAtThreadEnd();
    m_staticPanel.ForgetAtThreadEnd();
}

int32_t CTipManager::SetIdentity(const char* name, int32_t nameCount, const char* pid,
                                 int32_t pidCount) {
    return m_service.SetIdentity(name, nameCount, pid, pidCount);
}

void CTipManager::SetMessageID(uint32_t messageId) { m_service.SetMessageID(messageId); }
