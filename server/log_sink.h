// The server's log: one line per event on standard error, each starting
// with the UTC time. Lines are gathered and written in batches, so a busy
// server does not pay one system call per query; a line waits at most
// about a tenth of a second.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

namespace tipserver {

class LogSink {
public:
    explicit LogSink(int fd = 2) : fd_(fd) {}
    ~LogSink() { Flush(); }
    LogSink(const LogSink&) = delete;
    LogSink& operator=(const LogSink&) = delete;

    void Write(std::string_view line);
    void Flush();

private:
    void FlushLocked();

    int fd_;
    std::mutex mutex_;
    std::string pending_;
    std::chrono::steady_clock::time_point last_flush_ = std::chrono::steady_clock::now();
    int64_t stamp_second_ = -1;
    std::string stamp_;
};

// Bytes from a client, made safe for one log line: printable ASCII stays,
// everything else (and quotes and backslashes) becomes \xNN; cut after
// `max` bytes.
std::string EscapeForLog(std::string_view bytes, size_t max = 64);

}  // namespace tipserver
