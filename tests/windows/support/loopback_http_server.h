// A picture server on 127.0.0.1 inside the test process: one request per
// connection, answers set per path, and a record of what was asked.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpAnswer {
    int status = 200;
    std::string body;
    std::string extraHeaders;  // whole lines, each ending in \r\n
    bool cutOff = false;       // promises the whole body, sends half, closes
    bool trickle = false;      // sends one body byte per 100 ms
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Paths without an answer get a 404.
    void Set(const std::string& path, const HttpAnswer& answer);
    std::string Url(const std::string& path) const;
    // The head of every request received, in order.
    std::vector<std::string> Requests() const;

private:
    void Serve();
    void Handle(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, HttpAnswer> answers_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A few bytes that start like a GIF file, and like a JPEG file.
std::string SampleGif();
std::string SampleJpeg();
