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

void CTipManager::Start() {
    service_.Start();
}

void CTipManager::Stop() {
    try {
        service_.Stop();
    } catch (...) {
    }
}

int32_t CTipManager::SetIdentity(const char* name, int32_t nameCount, const char* pid,
                                 int32_t pidCount) {
    return service_.SetIdentity(name, nameCount, pid, pidCount);
}

void CTipManager::SetMessageID(uint32_t messageId) { service_.SetMessageID(messageId); }
