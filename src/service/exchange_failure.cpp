#include "service/exchange_failure.h"

#include <winsock2.h>

#include "platform/platform.h"

std::string SocketFailureReason(int socketError) {
    switch (socketError) {
    case WSAHOST_NOT_FOUND:
        return "name lookup failed";
    case WSAECONNREFUSED:
        return "connection refused";
    case WSAETIMEDOUT:
        return "timed out";
    case WSAEINTR:
        return "stopped";
    case WSAECONNRESET:
        return "connection reset";
    default:
        return "socket error " + std::to_string(socketError);
    }
}

void LogStepFailure(const char* step, const std::string& reason) {
    platform::DebugLine((std::string(step) + " failed: " + reason).c_str());
}
