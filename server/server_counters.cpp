#include "server_counters.h"

namespace tipserver {

const char* QueryOutcomeName(QueryOutcome outcome) {
    switch (outcome) {
    case QueryOutcome::kAnswered:
        return "answered";
    case QueryOutcome::kErrorAnswer:
        return "error_answer";
    case QueryOutcome::kRefusedFraming:
        return "refused_framing";
    case QueryOutcome::kTimedOut:
        return "timed_out";
    case QueryOutcome::kClosedEarly:
        return "closed_early";
    case QueryOutcome::kEvicted:
        return "evicted";
    }
    return "";
}

void QueryCounters::Count(QueryOutcome outcome, uint64_t nanoseconds_taken) {
    Bump(outcomes[static_cast<size_t>(outcome)]);
    if (outcome != QueryOutcome::kAnswered) return;
    size_t bucket = 0;
    while (bucket < kQuerySecondsBuckets.size() && nanoseconds_taken > kQuerySecondsBuckets[bucket] * 1e9) ++bucket;
    Bump(buckets[bucket]);
    Bump(nanoseconds, nanoseconds_taken);
}

void QueryCounters::AddTo(QueryTotals& totals) const {
    for (size_t i = 0; i < outcomes.size(); ++i) totals.outcomes[i] += Read(outcomes[i]);
    for (size_t i = 0; i < buckets.size(); ++i) totals.buckets[i] += Read(buckets[i]);
    totals.tips_sent += Read(tips_sent);
    totals.bytes_sent += Read(bytes_sent);
    totals.refused_at_cap += Read(refused_at_cap);
    totals.nanoseconds += Read(nanoseconds);
}

QueryTotals& QueryTotals::operator+=(const QueryTotals& other) {
    for (size_t i = 0; i < outcomes.size(); ++i) outcomes[i] += other.outcomes[i];
    for (size_t i = 0; i < buckets.size(); ++i) buckets[i] += other.buckets[i];
    tips_sent += other.tips_sent;
    bytes_sent += other.bytes_sent;
    refused_at_cap += other.refused_at_cap;
    nanoseconds += other.nanoseconds;
    return *this;
}

}  // namespace tipserver
