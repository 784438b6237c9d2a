#include "answer.h"

#include <algorithm>

#include "protocol/byte_order.h"
#include "protocol/packet_header.h"

namespace tipserver {
namespace {

// A tip asked for by its id comes whatever the last-time value, its window
// or its editions say (testing on one machine), and the client's last-time
// value stays where it was.
AnswerPlan PlanSingleTip(const Catalogue& catalogue, const AnswerRequest& request) {
    AnswerPlan plan;
    plan.last_time = request.last_time;
    if (const ServedTip* tip = catalogue.FindById(request.message_id)) plan.tips.push_back(tip);
    return plan;
}

}  // namespace

AnswerPlan PlanAnswer(const Catalogue& catalogue, const AnswerRequest& request, int64_t now,
                      const AnswerBudget& budget) {
    if (request.message_id != 0) return PlanSingleTip(catalogue, request);

    AnswerPlan plan;
    const auto due_for_client = [&](const ServedTip& tip) { return tip.IsValidAt(now) && tip.IsForPid(request.pid); };
    // Tips are sorted by stamp: the newest due one is found from the back.
    int64_t newest = 0;
    for (auto it = catalogue.tips.rbegin(); it != catalogue.tips.rend(); ++it) {
        if (due_for_client(*it)) {
            newest = it->stamp;
            break;
        }
    }
    plan.last_time = static_cast<uint32_t>(std::max<int64_t>(newest, request.last_time));

    // Stamps are positive 32-bit values: a last-time above them all gets nothing.
    const auto first_new = std::upper_bound(catalogue.tips.begin(), catalogue.tips.end(), int64_t(request.last_time),
                                            [](int64_t value, const ServedTip& tip) { return value < tip.stamp; });
    size_t bytes = kAnswerOverheadBytes;
    for (auto it = first_new; it != catalogue.tips.end(); ++it) {
        if (!due_for_client(*it)) continue;
        const bool fits = plan.left_out == 0 && plan.tips.size() < budget.max_tips &&
                          bytes + it->wire.size() <= budget.max_bytes;
        if (fits) {
            plan.tips.push_back(&*it);
            bytes += it->wire.size();
            continue;
        }
        if (plan.left_out++ == 0) {
            plan.first_left_out = it->id;
            plan.last_time = static_cast<uint32_t>(it->stamp - 1);
        }
    }
    // Newest first: a client shows tips in the order they arrive.
    std::reverse(plan.tips.begin(), plan.tips.end());
    return plan;
}

void EncodeAnswer(const Catalogue& catalogue, const AnswerPlan& plan, uint32_t sequence, std::vector<uint8_t>& out) {
    size_t records = 0;
    for (const ServedTip* tip : plan.tips) records += tip->wire.size();
    out.clear();
    out.reserve(kAnswerOverheadBytes + records);
    ByteWriter writer(out);
    AppendPacketHeader(writer, sequence, "RESPNEWMESS", static_cast<uint32_t>(16 + records));
    writer.PutU32(0);
    writer.PutU32(plan.last_time);
    writer.PutU32(static_cast<uint32_t>(plan.tips.size()));
    for (const ServedTip* tip : plan.tips) writer.PutBytes(tip->wire.data(), tip->wire.size());
    writer.PutU32(catalogue.panel_interval_minutes);
}

void EncodeErrorAnswer(uint32_t code, uint32_t sequence, std::vector<uint8_t>& out) {
    out.clear();
    ByteWriter writer(out);
    AppendPacketHeader(writer, sequence, "RESPERROR", 4);
    writer.PutU32(code);
}

}  // namespace tipserver
