// What one answer may hold. Clients read at most 262144 bytes of an answer
// (the rest is cut off, which breaks the last record) and take a record
// count above 100 as 20, so an answer stays inside both.
#pragma once

#include <cstddef>

namespace tipserver {

constexpr size_t kMaxAnswerTips = 100;
constexpr size_t kMaxAnswerBytes = 262144;
// The "RESPNEWMESS" header (16 + 11 name bytes) and the four body words
// around the records: status, last-time, count, panel interval.
constexpr size_t kAnswerOverheadBytes = 16 + 11 + 16;

struct AnswerBudget {
    size_t max_tips = kMaxAnswerTips;
    size_t max_bytes = kMaxAnswerBytes;
};

}  // namespace tipserver
