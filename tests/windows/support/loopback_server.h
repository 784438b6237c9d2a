// Servers on 127.0.0.1 inside the test process. Each takes one connection
// after another on a thread of its own and runs a script on it: a tips
// server and a picture (HTTP) server whose faults are data.
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
    kAnswer,    // writes the answer, closes
    kSegments,  // writes the answer in three pieces 60 ms apart, closes
    kRefuse,    // nothing listens on the port (1)
    kHang,      // reads the query, then neither answers nor closes
    kOversize,  // writes the answer padded to 300000 bytes
    kCutOff,    // writes the first half of the answer, closes
};

// A tips server: reads each query whole, keeps it, then does what its fault says.
class LoopbackTipsServer {
  public:
    explicit LoopbackTipsServer(TipsFault fault, std::string answer = std::string());
    uint16_t Port() const { return server_ ? server_->Port() : 1; }
    // Writes [TCPSERVER] HOST=127.0.0.1 and PORT into the test's message.ini.
    void PointSettingsHere() const;
    std::string Query() const;  // the first query's whole packet; empty until one came

  private:
    TipsFault fault_;
    std::string answer_;
    mutable std::mutex mutex_;
    std::string query_;
    std::unique_ptr<ScriptedServer> server_;  // last: its thread ends first
};

// How much of the promised body comes: all, half and then the end, half
// and then nothing until the server ends, or one byte every 200 ms.
enum class HttpBody { kWhole, kCutOff, kStall, kTrickle };
struct HttpAnswer {
    int status = 200;
    std::string body = {};
    std::string extraHeaders = {};  // whole lines, each ending in \r\n
    HttpBody sent = HttpBody::kWhole;
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
