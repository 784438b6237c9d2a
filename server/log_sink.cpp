#include "log_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "time_value.h"

namespace tipserver {
namespace {
constexpr size_t kFlushBytes = 16 * 1024;
constexpr auto kFlushAge = std::chrono::milliseconds(100);
}  // namespace

void LogSink::Write(std::string_view line) {
    const int64_t second = static_cast<int64_t>(std::time(nullptr));
    std::lock_guard<std::mutex> guard(mutex_);
    if (second != stamp_second_) {
        stamp_second_ = second;
        stamp_ = FormatIsoTime(second);
    }
    pending_ += stamp_;
    pending_ += ' ';
    pending_ += line;
    pending_ += '\n';
    if (pending_.size() >= kFlushBytes || std::chrono::steady_clock::now() - last_flush_ >= kFlushAge) FlushLocked();
}

void LogSink::Flush() {
    std::lock_guard<std::mutex> guard(mutex_);
    FlushLocked();
}

void LogSink::FlushLocked() {
    last_flush_ = std::chrono::steady_clock::now();
    size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // a closed log loses lines, never the server
        done += static_cast<size_t>(n);
    }
    pending_.clear();
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
