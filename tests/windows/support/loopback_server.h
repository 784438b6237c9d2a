// Servers on 127.0.0.1 inside the test process. Each takes one connection
// after another on a thread of its own and runs a script on it: the stock
// scripts are a tips server and a picture (HTTP) server whose faults are
// data; a test stages any other fault with a script of its own.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedServer {
public:
    // `stopping` turns true when the server is being destroyed: a script
    // that hangs must watch it.
    using Script = std::function<void(SOCKET client, const std::atomic<bool>& stopping)>;
    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    uint16_t Port() const { return port_; }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    Script script_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

enum class TipsFault {
    kAnswer,       // writes the answer, closes
    kSegments,     // writes the answer in three pieces 60 ms apart, closes
    kRefuse,       // nothing listens on the port
    kHang,         // reads the query, then neither answers nor closes
    kCloseAtOnce,  // closes each connection as soon as it is accepted
    kOversize,     // writes the answer padded to 300000 bytes
    kCutOff,       // writes the first half of the answer, closes
};

// A tips server: reads each query whole, keeps it, then does what its fault says.
class LoopbackTipsServer {
public:
    explicit LoopbackTipsServer(TipsFault fault, std::string answer = std::string());
    uint16_t Port() const { return server_ ? server_->Port() : refusedPort_; }
    // Writes [TCPSERVER] HOST=127.0.0.1 and PORT into the test's message.ini.
    void PointSettingsHere() const;
    std::vector<std::string> Queries() const;  // each the whole packet
    // Waits up to `ms` for the first query; empty when none came.
    std::string WaitForQuery(unsigned ms) const;

private:
    TipsFault fault_;
    std::string answer_;
    uint16_t refusedPort_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> queries_;
    std::unique_ptr<ScriptedServer> server_;  // last: its thread ends first
};

struct HttpAnswer {
    HttpAnswer(int status = 200, std::string body = {}, std::string extraHeaders = {}, bool cutOff = false, bool trickle = false)
        : status(status), body(std::move(body)), extraHeaders(std::move(extraHeaders)), cutOff(cutOff), trickle(trickle) {}
    int status;
    std::string body;
    std::string extraHeaders;  // whole lines, each ending in \r\n
    bool cutOff;               // promises the whole body, sends half, closes
    bool trickle;              // sends one body byte per 100 ms
};

// A picture server: one request per connection; paths without an answer get a 404.
class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    void Set(const std::string& path, const HttpAnswer& answer);
    std::string Url(const std::string& path) const { return server_->Url(path); }
    std::vector<std::string> Requests() const;  // the head of each, in order

private:
    mutable std::mutex mutex_;
    std::map<std::string, HttpAnswer> answers_;
    std::vector<std::string> requests_;
    std::unique_ptr<ScriptedServer> server_;  // last: its thread ends first
};

std::string SampleGif();  // a few bytes that start like a GIF file
// One whole packet of the tips protocol (by its rest length), or an HTTP
// request head; or what arrived before the peer stopped sending.
std::string ReadWholePacket(SOCKET client, const std::atomic<bool>& stopping);
std::string ReadHttpHead(SOCKET client, const std::atomic<bool>& stopping);
bool SendAll(SOCKET client, const std::string& bytes);
// Sleeps `ms`, or less once `stopping` turns true.
void PauseUnlessStopping(unsigned ms, const std::atomic<bool>& stopping);
