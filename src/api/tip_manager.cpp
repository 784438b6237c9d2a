#include "api/tip_manager.h"

#include <winsock2.h>

#include "platform/edge.h"

CTipManager::CTipManager() {
    WSADATA data;
    // Version 2.1, as the host has always asked for; the result is not needed
    // because a failed start-up shows up as failed socket calls later.
    socketsStarted_ = WSAStartup(0x0102, &data) == 0;
}

CTipManager::~CTipManager() {
    if (socketsStarted_) WSACleanup();
}

// Each step of the start and the stop is an edge of its own: a panel that
// fails to come up leaves the other one working.
void CTipManager::Start() {
    service_.Start();
    platform::Contain("sliding panel create", [this] { slidingPanel_.Create(); });
    platform::Contain("static panel create", [this] { staticPanel_.Create(); });
    platform::Contain("panel interval", [this] { slidingPanel_.SetInterval(service_.GetPanelInterval()); });
}

void CTipManager::Stop() {
    platform::Contain("service stop", [this] { service_.Stop(); });
    platform::Contain("sliding panel destroy", [this] { slidingPanel_.Destroy(); });
    platform::Contain("static panel destroy", [this] { staticPanel_.Destroy(); });
}

int32_t CTipManager::SetIdentity(const char* name, int32_t nameCount, const char* pid,
                                 int32_t pidCount) {
    return service_.SetIdentity(name, nameCount, pid, pidCount);
}

void CTipManager::SetMessageID(uint32_t messageId) { service_.SetMessageID(messageId); }
