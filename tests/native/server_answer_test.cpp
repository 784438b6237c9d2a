// Which tips a query gets, the last-time value it is handed, and the
// budgets of one answer.
#include <set>

#include "answer.h"
#include "server_test_support.h"
#include "time_value.h"

namespace {

using servertest::json;
using servertest::kNow;
using servertest::Tip;
using tipserver::AnswerPlan;

int64_t At(const char* iso) { return *tipserver::ParseIsoTime(iso); }

TEST(ServerAnswer, Selection) {
    const json stamped = {Tip(1, {{"updated", "2024-02-01"}}), Tip(2, {{"updated", "2024-03-01"}}), Tip(3)};
    const json windows = {Tip(1, {{"updated", "2024-04-01"}, {"end", "2024-04-30"}}),
                          Tip(2, {{"updated", "2024-01-15"}, {"begin", "2024-06-01"}}), Tip(3)};
    const json editions = {Tip(1, {{"updated", "2024-04-01"}, {"pids", {"PRO", "TEAM"}}}), Tip(2),
                           Tip(5, {{"end", "2024-02-01"}, {"pids", {"PRO"}}})};
    const uint32_t kAhead = 4000000000u, kJan = uint32_t(At("2024-01-01")), kApr = uint32_t(At("2024-04-01"));
    const uint32_t kFeb = uint32_t(At("2024-02-01")), kMar = uint32_t(At("2024-03-01"));
    const struct {
        const json& tips;
        uint32_t last_time;
        std::string pid;
        uint32_t message_id;
        const char* now;
        std::vector<uint32_t> ids;
        uint32_t handed_back;
    } rows[] = {
        {stamped, 0, "", 0, "2024-05-01", {2, 1, 3}, kMar},  // newest first
        {stamped, kMar, "", 0, "2024-05-01", {}, kMar},
        {stamped, kFeb, "", 0, "2024-05-01", {2}, kMar},  // changed strictly after the value
        {stamped, kAhead, "", 0, "2024-05-01", {}, kAhead},
        {windows, 0, "", 0, "2024-05-01", {3}, kJan},  // outside its window: neither sent nor counted
        {windows, kJan, "", 0, "2024-06-02", {2}, uint32_t(At("2024-06-01"))},  // opened later: still new
        {editions, 0, "PRO", 0, "2024-05-01", {1, 2}, kApr},
        {editions, 0, "FREE", 0, "2024-05-01", {2}, kJan},  // neither the tip nor its stamp
        {editions, 0, "pro", 0, "2024-05-01", {2}, kJan},
        {editions, kAhead, "FREE", 5, "2024-05-01", {5}, kAhead},  // that tip whatever else; the value stays
        {editions, 7, "", 99, "2024-05-01", {}, 7},
    };
    for (const auto& row : rows) {
        const auto catalogue = servertest::MustLoad(servertest::CatalogueJson(row.tips));
        const AnswerPlan plan = tipserver::PlanAnswer(*catalogue, {row.pid, row.last_time, row.message_id}, At(row.now));
        std::vector<uint32_t> ids;
        for (const auto* tip : plan.tips) ids.push_back(tip->id);
        EXPECT_EQ(std::make_pair(ids, plan.last_time), std::make_pair(row.ids, row.handed_back)) << "row " << &row - rows;
    }
}

// Each answer is full (100 records, or no room for one more in 262144
// bytes), and querying again with the value handed back brings every tip.
TEST(ServerAnswer, BudgetsCutAnswersAndEveryTipArrives) {
    const struct {
        uint32_t count, same_stamp, url_bytes;
    } rows[] = {{250, 1, 10}, {90, 1, 1000}, {240, 30, 10}, {240, 99, 10}, {240, 100, 10}};
    for (const auto& row : rows) {
        json tips = json::array();
        const std::string url = "http://x/" + std::string(row.url_bytes, 'u');
        for (uint32_t id = 1; id <= row.count; ++id)
            tips.push_back(Tip(id, {{"updated", At("2024-02-01") + (id - 1) / row.same_stamp}, {"picture", url}, {"link", url}}));
        const auto catalogue = servertest::MustLoad(servertest::CatalogueJson(tips));
        ASSERT_TRUE(catalogue);
        std::set<uint32_t> received;
        uint32_t last_time = 0;
        int answers = 0;
        for (AnswerPlan plan; answers < 20 && !(plan = tipserver::PlanAnswer(*catalogue, {"", last_time, 0}, kNow)).tips.empty(); ++answers) {
            std::vector<uint8_t> packet;
            tipserver::EncodeAnswer(*catalogue, plan, 1, packet);
            EXPECT_LE(plan.tips.size(), 100u);
            EXPECT_LE(packet.size(), 262144u);
            if (plan.left_out > 0) {
                EXPECT_TRUE(plan.tips.size() == 100 || packet.size() + plan.tips[0]->wire.size() > 262144);
                EXPECT_EQ(plan.last_time, catalogue->FindById(plan.first_left_out)->stamp - 1);  // next brings it
            }
            for (const auto* tip : plan.tips) received.insert(tip->id);
            last_time = plan.last_time;
        }
        EXPECT_TRUE(received.size() == row.count && (row.count != 250 || answers == 3)) << "row " << &row - rows;
    }
}

}  // namespace
