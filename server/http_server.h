// A small HTTP/1.1 server for the picture and metrics ports: GET and HEAD
// only, answered from memory by a handler. Every request has bounded cost:
// a limit on the header block, no request body, a deadline for the whole
// request and for the answer, an idle deadline between keep-alive requests
// (a timer, not a thread), a cap on open connections, and Range ignored
// (the whole body with 200 is always a correct answer). One event loop on a
// thread of its own, so nothing here can hold up the query port.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "log_sink.h"
#include "server_counters.h"
#include "trouble_summary.h"

namespace tipserver {

struct HttpReply {
    unsigned status = 200;
    std::string content_type = "text/plain";
    bool no_cache = false;
    // Validators for caches; with them a conditional request can get 304.
    std::string etag;
    int64_t last_modified = 0;
    // The body: `text`, or bytes that `owner` keeps alive.
    std::string text;
    std::string_view bytes;
    std::shared_ptr<const void> owner;
};

// Called with the request's path, percent-decoded, without its query.
using HttpHandler = std::function<HttpReply(const std::string& path)>;

struct HttpServerConfig {
    // Starts the port's log lines and its kinds in the summary ("picture").
    std::string name = "http";
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // 0: any free port
    size_t max_connections = 1024;
    size_t header_limit = 8 * 1024;
    std::chrono::milliseconds request_timeout{10000};
    std::chrono::milliseconds idle_timeout{5000};
    std::chrono::milliseconds write_timeout{10000};
    bool log_requests = true;
};

class HttpServer {
  public:
    HttpServer(const HttpServerConfig& config, HttpHandler handler, LogSink& log, TroubleSummary& trouble);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // False, with the reason, when the port cannot be had.
    bool Bind(std::string& error);
    uint16_t LocalPort() const;

    void Start();
    void Stop();

    const HttpCounters& Counters() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tipserver
