// The server's log: one line per event on standard error, each starting
// with the UTC time. Lines go into a bounded queue that a thread of the
// log's own writes out in batches, so a busy server pays no system call per
// line and a log reader that stalls (a stopped pipe) never holds up a
// query: when the queue is full, lines are dropped and counted.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tipserver {

constexpr size_t kDefaultLogQueueBytes = 1024 * 1024;

class LogSink {
public:
    explicit LogSink(int fd = 2, size_t queue_bytes = kDefaultLogQueueBytes);
    // Writes what is queued, waiting at most a second for a stalled reader.
    ~LogSink();
    LogSink(const LogSink&) = delete;
    LogSink& operator=(const LogSink&) = delete;

    void Write(std::string_view line);
    // Waits (at most a second) until what was queued before has been written.
    void Flush();

    uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    void Run();
    // False when the reader stalled past `give_up`.
    bool WriteOut(const std::string& bytes, std::chrono::steady_clock::time_point give_up);

    const int fd_;
    const size_t queue_bytes_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::string pending_;
    uint64_t queued_batches_ = 0;   // batches taken by the writer
    uint64_t written_batches_ = 0;  // of which written
    uint64_t dropped_since_note_ = 0;
    bool stopping_ = false;
    bool flush_wanted_ = false;
    std::atomic<uint64_t> dropped_{0};
    int64_t stamp_second_ = -1;
    std::string stamp_;
    std::thread thread_;
};

// Bytes from a client, made safe for one log line: printable ASCII stays,
// everything else (and quotes and backslashes) becomes \xNN; cut after
// `max` bytes.
std::string EscapeForLog(std::string_view bytes, size_t max = 64);

}  // namespace tipserver
