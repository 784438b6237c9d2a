// Counters the server keeps for its metrics. Each set is written by one
// event loop only, so a plain load and store bump a counter without a locked
// instruction (and without sharing a cache line with another loop); a scrape
// reads them from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tipserver {

enum class QueryOutcome { kAnswered, kErrorAnswer, kRefusedFraming, kTimedOut, kClosedEarly, kEvicted };
constexpr size_t kQueryOutcomes = 6;
const char* QueryOutcomeName(QueryOutcome outcome);

// Upper bounds of the query handling time histogram, in seconds.
constexpr std::array<double, 10> kQuerySecondsBuckets = {0.0001, 0.00025, 0.0005, 0.001, 0.0025,
                                                         0.005,  0.01,    0.05,   0.25,  1.0};

inline void Bump(std::atomic<uint64_t>& counter, uint64_t by = 1) {
    counter.store(counter.load(std::memory_order_relaxed) + by, std::memory_order_relaxed);
}
inline uint64_t Read(const std::atomic<uint64_t>& counter) { return counter.load(std::memory_order_relaxed); }

// What the query port's counters add up to at one moment.
struct QueryTotals {
    std::array<uint64_t, kQueryOutcomes> outcomes{};
    uint64_t tips_sent = 0;
    uint64_t bytes_sent = 0;
    uint64_t refused_at_cap = 0;
    // Answered queries only. Not cumulative: each count belongs to its own
    // bucket; the last is +Inf.
    std::array<uint64_t, kQuerySecondsBuckets.size() + 1> buckets{};
    uint64_t nanoseconds = 0;

    QueryTotals& operator+=(const QueryTotals& other);
};

struct alignas(64) QueryCounters {
    std::array<std::atomic<uint64_t>, kQueryOutcomes> outcomes{};
    std::atomic<uint64_t> tips_sent{0};
    std::atomic<uint64_t> bytes_sent{0};
    std::atomic<uint64_t> refused_at_cap{0};
    std::array<std::atomic<uint64_t>, kQuerySecondsBuckets.size() + 1> buckets{};
    std::atomic<uint64_t> nanoseconds{0};

    // The time goes into the histogram for answered queries only.
    void Count(QueryOutcome outcome, uint64_t nanoseconds_taken);
    void AddTo(QueryTotals& totals) const;
};

// An HTTP port's counters; its one loop writes them.
struct alignas(64) HttpCounters {
    std::atomic<uint64_t> open{0};
    std::atomic<uint64_t> requests{0};  // answered in full
    std::atomic<uint64_t> cut{0};       // answers the client did not take in full
    std::atomic<uint64_t> bytes_sent{0};
    std::atomic<uint64_t> refused_at_cap{0};
    std::atomic<uint64_t> dropped{0};  // timed out or malformed
};

}  // namespace tipserver
