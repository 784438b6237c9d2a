// A server on 127.0.0.1 whose every connection runs a script of the test's
// own, one connection after another on a thread of its own: for the faults
// that the stock test servers do not stage, such as a connection reset in
// the middle of an answer or a picture body that stops and hangs.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class ScriptedServer {
public:
    // `stopping` turns true when the server is being destroyed: a script
    // that hangs must watch it.
    using Script = std::function<void(SOCKET client, const std::atomic<bool>& stopping)>;

    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const { return port_; }
    std::string Url(const std::string& path) const;
    int Connections() const { return connections_.load(); }

private:
    void Serve();

    Script script_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// Reads one whole packet of the tips protocol (by its rest length); what
// arrived when the peer stopped sending otherwise.
std::string ReadWholePacket(SOCKET client, const std::atomic<bool>& stopping);
// Reads an HTTP request head, up to its blank line.
std::string ReadHttpHead(SOCKET client, const std::atomic<bool>& stopping);
// Makes the coming close a reset, as when the system ends the connections
// of a program that was killed while it still held unread bytes.
void ResetOnClose(SOCKET client);
// Sleeps `ms`, or less once `stopping` turns true.
void PauseUnlessStopping(DWORD ms, const std::atomic<bool>& stopping);
