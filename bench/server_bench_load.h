// The load of the server benchmark: a number of clients on loopback, each
// connecting, sending one query and reading until the server closes, over
// and over, driven by epoll loops on `threads` threads.
#pragma once

#include <cstdint>
#include <vector>

namespace serverbench {

struct LoadResult {
    uint64_t answered = 0;  // complete answers equal to the expected bytes
    uint64_t failed = 0;    // refused, reset, or a different answer
    double seconds = 0;

    double PerSecond() const { return seconds > 0 ? answered / seconds : 0; }
};

LoadResult RunLoad(uint16_t port, const std::vector<uint8_t>& query, const std::vector<uint8_t>& expected,
                   int clients, double seconds, int threads);

// One exchange; the bytes received until the server closed.
std::vector<uint8_t> ExchangeOnce(uint16_t port, const std::vector<uint8_t>& query);

}  // namespace serverbench
