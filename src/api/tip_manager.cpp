#include "api/tip_manager.h"

#include <winsock2.h>

CTipManager::CTipManager() {
    WSADATA data;
    // Version 2.1, as the host has always asked for; the result is not needed
    // because a failed start-up shows up as failed socket calls later.
    socketsStarted_ = WSAStartup(0x0102, &data) == 0;
}

CTipManager::~CTipManager() {
    if (socketsStarted_) WSACleanup();
}

namespace {
// Runs one step of the start or stop sequence; its failure stays inside.
template <typename Step>
void Contained(Step step) {
    try {
        step();
    } catch (...) {
    }
}
}  // namespace

void CTipManager::Start() {
    service_.Start();
    // A panel that fails to come up leaves the other one working.
    Contained([this] { slidingPanel_.Create(); });
    Contained([this] { staticPanel_.Create(); });
    Contained([this] { slidingPanel_.SetInterval(service_.GetPanelInterval()); });
}

void CTipManager::Stop() {
    Contained([this] { service_.Stop(); });
    Contained([this] { slidingPanel_.Destroy(); });
    Contained([this] { staticPanel_.Destroy(); });
}

int32_t CTipManager::SetIdentity(const char* name, int32_t nameCount, const char* pid,
                                 int32_t pidCount) {
    return service_.SetIdentity(name, nameCount, pid, pidCount);
}

void CTipManager::SetMessageID(uint32_t messageId) { service_.SetMessageID(messageId); }
