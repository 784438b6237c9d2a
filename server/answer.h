// What a query gets: which tips, and the last-time value to hand back.
//
// The server keeps no state per client. A client brings the last-time value
// of its previous answer and gets the tips that are valid now, are for its
// edition and have changed since (stamp after that value). The value it gets
// back is the newest stamp among the tips valid now for it, so nothing is
// sent twice. When an answer cannot hold every such tip, the oldest stamps
// go first and the value handed back stays just below the first tip left
// out, so each later query brings the next part.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "answer_budget.h"
#include "catalogue.h"

namespace tipserver {

struct AnswerRequest {
    std::string pid;  // bytes as the client sent them
    uint32_t last_time = 0;
    uint32_t message_id = 0;  // 0: none
};

struct AnswerPlan {
    std::vector<const ServedTip*> tips;  // in the order they are sent
    uint32_t last_time = 0;
    size_t left_out = 0;       // tips due but not sent because of the budget
    uint32_t first_left_out = 0;  // id of the first of them, for the log
};

AnswerPlan PlanAnswer(const Catalogue& catalogue, const AnswerRequest& request, int64_t now,
                      const AnswerBudget& budget = AnswerBudget());

// The whole "RESPNEWMESS" packet for a plan.
void EncodeAnswer(const Catalogue& catalogue, const AnswerPlan& plan, uint32_t sequence, std::vector<uint8_t>& out);

// Result code of the "RESPERROR" answer to a query that cannot be read.
constexpr uint32_t kUnreadableQueryCode = 1;

// A "RESPERROR" packet carrying `code`.
void EncodeErrorAnswer(uint32_t code, uint32_t sequence, std::vector<uint8_t>& out);

}  // namespace tipserver
