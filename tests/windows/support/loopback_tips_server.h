// A tips server on 127.0.0.1 inside the test process, on a Winsock thread of
// its own, that misbehaves on request. It takes one connection after
// another, reads each query whole (by its rest length) and then does what
// its fault says.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class TipsFault {
    kAnswer,       // writes the answer, closes
    kSegments,     // writes the answer in three pieces with pauses, closes
    kRefuse,       // nothing listens on the port
    kHang,         // reads the query, then neither answers nor closes
    kCloseAtOnce,  // closes each connection as soon as it is accepted
    kOversize,     // writes the answer padded to 300000 bytes
    kCutOff,       // writes the first half of the answer, closes
};

class LoopbackTipsServer {
public:
    explicit LoopbackTipsServer(TipsFault fault, std::string answer = std::string());
    ~LoopbackTipsServer();
    LoopbackTipsServer(const LoopbackTipsServer&) = delete;
    LoopbackTipsServer& operator=(const LoopbackTipsServer&) = delete;

    uint16_t Port() const { return port_; }
    // Writes [TCPSERVER] HOST=127.0.0.1 and PORT into the test's message.ini.
    void PointSettingsHere() const;
    // The queries received so far, each the whole packet.
    std::vector<std::string> Queries() const;
    // Waits up to `ms` for the first query; empty when none came.
    std::string WaitForQuery(DWORD ms) const;
    int Connections() const { return connections_.load(); }

private:
    void Serve();
    void Handle(SOCKET client);

    TipsFault fault_;
    std::string answer_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> queries_;
    std::thread thread_;
};

// A socket bound to 127.0.0.1 on a port of the system's choice, listening
// when `listen_`; INVALID_SOCKET on failure.
SOCKET ListenOnLoopback(uint16_t* port, bool listen_);
// Sends all of `bytes`; false when the connection broke.
bool SendAll(SOCKET socket, const char* bytes, size_t size);
// Waits until `socket` is readable, at most `ms`; false on time-out.
bool WaitReadable(SOCKET socket, int ms);
