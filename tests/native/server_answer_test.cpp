// Which tips a query gets and the last-time value it is handed, and the
// answer's bytes as the client's own decoder reads them.
#include <set>

#include "answer.h"
#include "protocol/resp_new_mess.h"
#include "server_test_support.h"
#include "time_value.h"

namespace {

using servertest::json;
using servertest::kNow;
using servertest::Tip;
using tipserver::AnswerPlan;
using tipserver::AnswerRequest;
using tipserver::PlanAnswer;

int64_t At(const char* iso) { return *tipserver::ParseIsoTime(iso); }

std::vector<uint32_t> Ids(const AnswerPlan& plan) {
    std::vector<uint32_t> ids;
    for (const auto* tip : plan.tips) ids.push_back(tip->id);
    return ids;
}

AnswerRequest Request(uint32_t last_time, const std::string& pid = "", uint32_t message_id = 0) {
    AnswerRequest request;
    request.pid = pid;
    request.last_time = last_time;
    request.message_id = message_id;
    return request;
}

json TipUpdated(uint32_t id, const char* updated) {
    json tip = Tip(id);
    tip["updated"] = updated;
    return tip;
}

// A client that queries again and again, each time with the value it was
// handed; returns every id it got and how many answers it took.
struct ClientRun {
    std::multiset<uint32_t> received;
    int answers = 0;
    bool settled = false;
};

ClientRun QueryUntilNothingNew(const tipserver::Catalogue& catalogue, const std::string& pid = "") {
    ClientRun run;
    uint32_t last_time = 0;
    for (; run.answers < 50; ++run.answers) {
        const AnswerPlan plan = PlanAnswer(catalogue, Request(last_time, pid), kNow);
        if (plan.tips.empty()) {
            run.settled = true;
            break;
        }
        for (const auto* tip : plan.tips) run.received.insert(tip->id);
        last_time = plan.last_time;
    }
    return run;
}

TEST(ServerAnswer, LastTimeBringsOnlyTipsChangedSince) {
    const auto catalogue = servertest::MustLoad(servertest::CatalogueJson({
        TipUpdated(1, "2024-02-01T00:00:00Z"),
        TipUpdated(2, "2024-03-01T00:00:00Z"),
        Tip(3),  // updated defaults to its begin, 2024-01-01
    }));
    ASSERT_TRUE(catalogue);

    AnswerPlan first = PlanAnswer(*catalogue, Request(0), kNow);
    EXPECT_EQ(Ids(first), (std::vector<uint32_t>{2, 1, 3}));  // newest first
    EXPECT_EQ(first.last_time, At("2024-03-01T00:00:00Z"));
    EXPECT_EQ(first.left_out, 0u);

    AnswerPlan again = PlanAnswer(*catalogue, Request(first.last_time), kNow);
    EXPECT_TRUE(again.tips.empty());
    EXPECT_EQ(again.last_time, first.last_time);

    AnswerPlan since_february = PlanAnswer(*catalogue, Request(At("2024-02-01T00:00:00Z")), kNow);
    EXPECT_EQ(Ids(since_february), (std::vector<uint32_t>{2}));

    // A value newer than every tip is handed back unchanged.
    AnswerPlan ahead = PlanAnswer(*catalogue, Request(4000000000u), kNow);
    EXPECT_TRUE(ahead.tips.empty());
    EXPECT_EQ(ahead.last_time, 4000000000u);
}

TEST(ServerAnswer, TipsOutsideTheirWindowAreNeitherSentNorCounted) {
    json expired = TipUpdated(1, "2024-04-01T00:00:00Z");
    expired["end"] = "2024-04-30T00:00:00Z";
    json later = Tip(2);
    later["begin"] = "2024-06-01T00:00:00Z";
    const auto catalogue = servertest::MustLoad(servertest::CatalogueJson({expired, later, Tip(3)}));
    ASSERT_TRUE(catalogue);
    const AnswerPlan plan = PlanAnswer(*catalogue, Request(0), kNow);
    EXPECT_EQ(Ids(plan), (std::vector<uint32_t>{3}));
    EXPECT_EQ(plan.last_time, At("2024-01-01T00:00:00Z"));
}

// A tip last edited before the client's value but whose window opens later
// still counts as new when it opens.
TEST(ServerAnswer, TipWhoseWindowOpensLaterStillReachesEveryClient) {
    json later = TipUpdated(2, "2024-01-15T00:00:00Z");
    later["begin"] = "2024-06-01T00:00:00Z";
    const auto catalogue =
        servertest::MustLoad(servertest::CatalogueJson({TipUpdated(1, "2024-04-01T00:00:00Z"), later}));
    ASSERT_TRUE(catalogue);
    const AnswerPlan now = PlanAnswer(*catalogue, Request(0), kNow);
    EXPECT_EQ(Ids(now), (std::vector<uint32_t>{1}));

    const AnswerPlan in_june = PlanAnswer(*catalogue, Request(now.last_time), At("2024-06-02T00:00:00Z"));
    EXPECT_EQ(Ids(in_june), (std::vector<uint32_t>{2}));
    EXPECT_EQ(in_june.last_time, At("2024-06-01T00:00:00Z"));
}

TEST(ServerAnswer, EditionTargeting) {
    json pro = TipUpdated(1, "2024-04-01T00:00:00Z");
    pro["pids"] = {"PRO", "TEAM"};
    const auto catalogue = servertest::MustLoad(servertest::CatalogueJson({pro, Tip(2)}));
    ASSERT_TRUE(catalogue);

    const AnswerPlan for_pro = PlanAnswer(*catalogue, Request(0, "PRO"), kNow);
    EXPECT_EQ(Ids(for_pro), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(for_pro.last_time, At("2024-04-01T00:00:00Z"));

    // Another edition neither gets the tip nor has its value moved by it.
    const AnswerPlan for_free = PlanAnswer(*catalogue, Request(0, "FREE"), kNow);
    EXPECT_EQ(Ids(for_free), (std::vector<uint32_t>{2}));
    EXPECT_EQ(for_free.last_time, At("2024-01-01T00:00:00Z"));

    EXPECT_EQ(Ids(PlanAnswer(*catalogue, Request(0, "pro"), kNow)), (std::vector<uint32_t>{2}));
}

TEST(ServerAnswer, MessageIdBringsThatTipWhateverElseTheQuerySays) {
    json expired = Tip(5);
    expired["end"] = "2024-02-01T00:00:00Z";
    expired["pids"] = {"PRO"};
    const auto catalogue = servertest::MustLoad(servertest::CatalogueJson({expired, Tip(6)}));
    ASSERT_TRUE(catalogue);

    const AnswerPlan plan = PlanAnswer(*catalogue, Request(4000000000u, "FREE", 5), kNow);
    EXPECT_EQ(Ids(plan), (std::vector<uint32_t>{5}));
    EXPECT_EQ(plan.last_time, 4000000000u);  // the client's place stays

    const AnswerPlan unknown = PlanAnswer(*catalogue, Request(7, "", 99), kNow);
    EXPECT_TRUE(unknown.tips.empty());
    EXPECT_EQ(unknown.last_time, 7u);
}

TEST(ServerAnswer, HundredTipsAtMostAndTheRestInLaterAnswers) {
    json tips = json::array();
    for (uint32_t id = 1; id <= 250; ++id) {
        json tip = Tip(id);
        tip["updated"] = At("2024-02-01T00:00:00Z") + id;  // distinct stamps, rising with the id
        tips.push_back(tip);
    }
    const auto catalogue = servertest::MustLoad(servertest::CatalogueJson(tips));
    ASSERT_TRUE(catalogue);

    const AnswerPlan first = PlanAnswer(*catalogue, Request(0), kNow);
    ASSERT_EQ(first.tips.size(), 100u);
    EXPECT_EQ(first.left_out, 150u);
    EXPECT_EQ(first.first_left_out, 101u);
    // Just below the first tip left out, so that the next query brings it.
    EXPECT_EQ(first.last_time, At("2024-02-01T00:00:00Z") + 101 - 1);

    const ClientRun run = QueryUntilNothingNew(*catalogue);
    EXPECT_TRUE(run.settled);
    EXPECT_EQ(run.answers, 3);
    EXPECT_EQ(run.received.size(), 250u);
    EXPECT_EQ(std::set<uint32_t>(run.received.begin(), run.received.end()).size(), 250u);
}

TEST(ServerAnswer, AnswerBytesStayWithinWhatAClientReads) {
    json tips = json::array();
    for (uint32_t id = 1; id <= 90; ++id) {
        json tip = Tip(id);
        tip["updated"] = At("2024-02-01T00:00:00Z") + id;
        tip["picture"] = "http://pictures.example/" + std::string(1000, 'p');
        tip["link"] = "http://links.example/" + std::string(1000, 'l');
        tip["buttons"] = {{{"caption", "Go"}, {"action", "OPENURL"}, {"url", "http://b/" + std::string(1000, 'b')}}};
        tips.push_back(tip);
    }
    const auto catalogue = servertest::MustLoad(servertest::CatalogueJson(tips));
    ASSERT_TRUE(catalogue);

    const AnswerPlan first = PlanAnswer(*catalogue, Request(0), kNow);
    std::vector<uint8_t> packet;
    tipserver::EncodeAnswer(*catalogue, first, 1, packet);
    EXPECT_LE(packet.size(), tipserver::kMaxAnswerBytes);
    EXPECT_GT(packet.size() + catalogue->tips[0].wire.size(), tipserver::kMaxAnswerBytes);  // no room for one more
    EXPECT_LT(first.tips.size(), 90u);
    EXPECT_EQ(first.left_out, 90u - first.tips.size());

    const ClientRun run = QueryUntilNothingNew(*catalogue);
    EXPECT_TRUE(run.settled);
    EXPECT_EQ(run.received.size(), 90u);
}

// Tips sharing stamps: a cut inside a group hands the group out again, but
// every answer moves the client on and every tip arrives.
TEST(ServerAnswer, CutsInsideGroupsOfEqualStampsStillMoveOn) {
    for (const size_t group : {1u, 30u, 60u, 99u, 100u}) {
        json tips = json::array();
        for (uint32_t id = 1; id <= 240; ++id) {
            json tip = Tip(id);
            tip["updated"] = At("2024-02-01T00:00:00Z") + (id - 1) / group;
            tips.push_back(tip);
        }
        const auto catalogue = servertest::MustLoad(servertest::CatalogueJson(tips));
        ASSERT_TRUE(catalogue);
        const ClientRun run = QueryUntilNothingNew(*catalogue);
        EXPECT_TRUE(run.settled) << "group " << group;
        EXPECT_EQ(std::set<uint32_t>(run.received.begin(), run.received.end()).size(), 240u) << "group " << group;
    }
}

// The answer decoded by the client's own decoder into a store.
TEST(ServerAnswer, ClientDecoderReadsTheAnswer) {
    coretest::FixedClock clock(static_cast<int32_t>(kNow));
    coretest::ScratchFolder folder;
    coretest::WriteBytes(folder.File("p.gif"), servertest::GifBytes());
    json full = TipUpdated(1, "2024-02-01T00:00:00Z");
    full["style"] = 12;
    full["show_seconds"] = 25;
    full["picture"] = "p.gif";
    full["title"] = "标题";
    full["text"] = "欢迎";
    full["link"] = "http://l";
    full["show_first"] = true;
    full["buttons"] = {{{"caption", "下载"}, {"action", "DOWNLOAD"}, {"url", "http://d"}},
                       {{"caption", "Open"}, {"action", "OPENURL"}, {"url", "http://o"}}};
    const auto catalogue =
        servertest::MustLoad(servertest::CatalogueJson({full, Tip(2)}, 45), folder.Folder());
    ASSERT_TRUE(catalogue);
    std::vector<uint8_t> packet;
    tipserver::EncodeAnswer(*catalogue, PlanAnswer(*catalogue, Request(0), kNow), 77, packet);

    CShowDataList store;
    CRespNewMess response(&store);
    response.Decode(packet.data(), static_cast<uint32_t>(packet.size()));
    EXPECT_EQ(response.GetResultCode(), 0);
    EXPECT_EQ(response.GetLastTime(), At("2024-02-01T00:00:00Z"));
    EXPECT_EQ(response.GetPanelInterval(), 45u);
    EXPECT_EQ(response.GetSequence(), 77u);

    // Packed fields are read through copies: a reference to one would be misaligned.
    std::unique_ptr<TipRecord> tip(store.GetWaitPicData());  // it has a picture address
    ASSERT_TRUE(tip);
    EXPECT_EQ(uint32_t{tip->nMessageID}, 1u);
    EXPECT_EQ(tip->byStyle, 12);
    EXPECT_EQ(int32_t{tip->nShowSeconds}, 25);
    EXPECT_EQ(int32_t{tip->tBeginTime}, At("2024-01-01T00:00:00Z"));
    EXPECT_EQ(int32_t{tip->tEndTime}, At("2030-01-01T00:00:00Z"));
    EXPECT_EQ(FieldText(tip->szPicture), "http://tips.example:8080/p.gif");
    EXPECT_EQ(FieldText(tip->szTitle), "\xB1\xEA\xCC\xE2");  // CP936
    EXPECT_EQ(FieldText(tip->szText), "\xBB\xB6\xD3\xAD");
    EXPECT_EQ(FieldText(tip->szLinkURL), "http://l");
    EXPECT_EQ(int32_t{tip->nButtonCount}, 2);
    EXPECT_EQ(FieldText(tip->aButtons[0].szCaption), "\xCF\xC2\xD4\xD8");
    EXPECT_EQ(FieldText(tip->aButtons[0].szAction), "DOWNLOAD");
    EXPECT_EQ(FieldText(tip->aButtons[1].szURL), "http://o");
    EXPECT_EQ(tip->byShowFirst, 1);
    EXPECT_EQ(store.GetShowDataCount(), 1);  // tip 2, without a picture
}

TEST(ServerAnswer, ErrorAnswerCarriesItsCode) {
    std::vector<uint8_t> packet;
    tipserver::EncodeErrorAnswer(tipserver::kUnreadableQueryCode, 3, packet);
    EXPECT_EQ(packet.size(), 29u);
    CShowDataList store;
    CRespNewMess response(&store);
    response.Decode(packet.data(), static_cast<uint32_t>(packet.size()));
    EXPECT_EQ(response.GetResultCode(), 1);
}

}  // namespace
