#include "log_sink.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "time_value.h"

namespace tipserver {
namespace {
constexpr size_t kBatchBytes = 16 * 1024;
constexpr auto kBatchAge = std::chrono::milliseconds(100);
constexpr auto kStallLimit = std::chrono::seconds(1);
// A pipe that polls writable has room for at least this much: a larger
// write could block the log thread past its stop.
constexpr size_t kPipeChunk = 4096;
}  // namespace

LogSink::LogSink(int fd, size_t queue_bytes) : fd_(fd), queue_bytes_(queue_bytes), thread_([this] { Run(); }) {}

LogSink::~LogSink() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void LogSink::Write(std::string_view line) {
    const int64_t second = static_cast<int64_t>(std::time(nullptr));
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (pending_.size() + line.size() + 22 > queue_bytes_) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            ++dropped_since_note_;
            return;
        }
        if (second != stamp_second_) {
            stamp_second_ = second;
            stamp_ = FormatIsoTime(second);
        }
        const size_t before = pending_.size();
        pending_ += stamp_;
        pending_ += ' ';
        pending_ += line;
        pending_ += '\n';
        wake = before < kBatchBytes && pending_.size() >= kBatchBytes;
    }
    if (wake) wake_.notify_one();
}

void LogSink::Flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t target = queued_batches_ + (pending_.empty() ? 0 : 1);
    flush_wanted_ = true;
    wake_.notify_one();
    written_.wait_for(lock, kStallLimit, [&] { return written_batches_ >= target; });
}

void LogSink::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, kBatchAge,
                       [&] { return stopping_ || flush_wanted_ || pending_.size() >= kBatchBytes; });
        flush_wanted_ = false;
        const bool last = stopping_;
        std::string batch;
        batch.swap(pending_);
        if (dropped_since_note_ != 0) {
            batch += stamp_ + " log queue full: " + std::to_string(dropped_since_note_) + " lines dropped\n";
            dropped_since_note_ = 0;
        }
        const uint64_t id = ++queued_batches_;
        lock.unlock();
        if (!batch.empty()) {
            const auto give_up = last ? std::chrono::steady_clock::now() + kStallLimit
                                      : std::chrono::steady_clock::time_point::max();
            WriteOut(batch, give_up);
        }
        lock.lock();
        written_batches_ = id;
        written_.notify_all();
        if (last) return;
    }
}

bool LogSink::WriteOut(const std::string& bytes, std::chrono::steady_clock::time_point give_up) {
    struct stat st;
    const bool plain_file = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    size_t done = 0;
    while (done < bytes.size()) {
        if (!plain_file) {
            pollfd p{fd_, POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(kBatchAge.count()));
            if (ready < 0 && errno != EINTR) return false;
            if (ready <= 0) {
                bool stop;
                {
                    std::lock_guard<std::mutex> guard(mutex_);
                    stop = stopping_;
                }
                if (std::chrono::steady_clock::now() >= give_up ||
                    (stop && give_up == std::chrono::steady_clock::time_point::max()))
                    return false;
                continue;
            }
            if (p.revents & (POLLERR | POLLNVAL)) return false;
        }
        const size_t chunk = plain_file ? bytes.size() - done : std::min(bytes.size() - done, kPipeChunk);
        const ssize_t n = ::write(fd_, bytes.data() + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // a closed log loses lines, never the server
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string EscapeForLog(std::string_view bytes, size_t max) {
    std::string out;
    const size_t n = bytes.size() < max ? bytes.size() : max;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    if (bytes.size() > max) out += "...";
    return out;
}

}  // namespace tipserver
