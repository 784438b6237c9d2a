// What the service reads from message.ini at each start.
#pragma once

#include <cstdint>
#include <string>

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
    // [AGENT] PROGID: the host's own download agent; empty for the default.
    std::string agentProgId;
};
