// The tips protocol's packets: the header every command shares, the query
// the library sends and the new-tips response it decodes.
#include "core_test_support.h"
#include "protocol/query_body.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "protocol/tip_wire.h"

namespace {

using namespace coretest;
using namespace wire;

constexpr int32_t kNow = 1500000000;

// Decodes a packet; the last line it logged, after "threw " when it threw.
std::string Decode(CRespNewMess& response, const std::vector<uint8_t>& packet) {
    LineCapture::Clear();
    std::string threw;
    try {
        response.Decode(packet.data(), uint32_t(packet.size()));
    } catch (const std::runtime_error& e) {
        threw = e.what() == std::string("error") ? "threw " : "threw another error ";
    }
    const auto lines = LineCapture::Lines();
    return threw + (lines.empty() ? "" : lines.back());
}

// Tip `id` as a server sends it: id % 4 buttons (none, as a count of -1,
// when id % 8 is 0), a picture when the id is odd; above id 4 every text
// fills its field to the brim (no NUL), below it has a few bytes.
std::unique_ptr<TipRecord> SentTip(uint32_t id) {
    auto tip = MakeTip(id, kNow - 1, kNow + 100, "");
    auto fill = [&](auto& field, int c) { std::memset(field, c, id > 4 ? sizeof field : id + 2); };
    fill(tip->szText, 't'), fill(tip->szLinkURL, 'l'), fill(tip->szTitle, 'h');
    if (id % 2) fill(tip->szPicture, 'p');
    tip->bPicReady = id % 2 ? 0 : 1;  // the decoder's flag: no picture to wait for
    tip->nButtonCount = id % 8 == 0 ? -1 : int32_t(id % 4);
    for (int k = 0; k < tip->nButtonCount; ++k) {
        fill(tip->aButtons[k].szCaption, 'A' + k), fill(tip->aButtons[k].szAction, 'a'),
            fill(tip->aButtons[k].szURL, 'u');
    }
    tip->byStyle = uint8_t(id * 37), tip->nShowSeconds = -int32_t(id), tip->byShowFirst = uint8_t(id % 3);
    return tip;
}

// A body of tips 1..present announced as `count`: last time 9, interval 44.
std::vector<uint8_t> Many(uint32_t present, int32_t count) {
    auto body = Words({0, 9, uint32_t(count)});
    ByteWriter w(body);
    for (uint32_t id = 1; id <= present; ++id) AppendTipRecordWire(w, *SentTip(id));
    w.PutU32(44);
    return body;
}

const uint32_t kFirstRecord = uint32_t(Many(1, 1).size() - 16);  // its length word included

// The first record's length word set, `extra` bytes (a newer server's) after it.
std::vector<uint8_t> Patched(std::vector<uint8_t> body, uint32_t length, size_t extra = 0) {
    StoreBigEndian32(body.data() + 12, length);
    body.insert(body.begin() + 12 + kFirstRecord, extra, 0xFF);
    return body;
}

TEST(RespNewMess, PacketOutcomes) {
    FixedClock clock(kNow);
    LineCapture capture;
    const auto resp = [](const std::vector<uint8_t>& body) { return Packet("RESPNEWMESS", body); };
    const auto none = Words({0, 5, 0, 30});
    const auto word = [&](size_t at, uint32_t value) {
        auto bytes = resp(none);
        return StoreBigEndian32(bytes.data() + at, value), bytes;
    };
    // The last line, result code, last time, interval, tips received, "struct change" lines, version, sequence.
    using Outcome = std::tuple<std::string, int32_t, uint32_t, uint32_t, int, int, uint32_t, uint32_t>;
    const Outcome unread{"", -1, 0, 0, 0, 0, 10, 1};
    const struct {
        const char* what;
        std::vector<uint8_t> packet;
        Outcome outcome;
    } cases[] = {
        {"no records", word(4, 77), {"nMessageCount == 0", 0, 5, 30, 0, 0, 10, 77}},
        {"wrong rest length is not looked at", word(8, 999999), {"nMessageCount == 0", 0, 5, 30, 0, 0, 10, 1}},
        {"version 9", word(0, 9), {"", -1, 0, 0, 0, 0, 9, 0}},
        {"version 11", word(0, 11), {"", -1, 0, 0, 0, 0, 11, 0}},
        {"first four letters of the name", Packet("RESP", none), unread},
        {"name with one more letter", Packet("RESPNEWMESSX", none), unread},
        {"other name of the same length", Packet("RESPNEWMESZ", none), unread},
        {"status 3, garbage after", resp({0, 0, 0, 3, 0xDE, 0xAD}), {"error2", 3, 0, 0, 0, 0, 10, 1}},
        {"error packet", Packet("RESPERROR", Words({7})), {"error2", 7, 0, 0, 0, 0, 10, 1}},
        {"error packet with code 0", Packet("RESPERROR", Words({0})), {"threw error3", 0, 0, 0, 0, 0, 10, 1}},
        {"huge record length", resp(Patched(Many(1, 1), 0xFFFFFFF0)), {"threw error35", 0, 9, 0, 1, 1, 10, 1}},
        {"over 100 reads 20", resp(Many(20, 101)), {"CShowDataList AddOneShowData", 0, 9, 44, 20, 0, 10, 1}},
        {"100 reads 100", resp(Many(100, 100)), {"CShowDataList AddOneShowData", 0, 9, 44, 100, 0, 10, 1}},
        {"negative count reads none", resp(Many(0, -1)), {"", 0, 9, 44, 0, 0, 10, 1}},
        {"longer record, tail skipped",
         resp(Patched(Many(2, 2), kFirstRecord + 8, 8)),
         {"CShowDataList AddOneShowData", 0, 9, 44, 2, 1, 10, 1}},
        {"zero record length", resp(Patched(Many(1, 2), 0)), {"Recv one Data ,AddWaitPicData", 0, 9, 0, 2, 2, 10, 1}},
    };
    for (const auto& c : cases) {
        CShowDataList store;
        SetSequenceCounterForTest(uint32_t(-1));  // the response's own number: 0
        CRespNewMess response(&store);
        const std::string line = Decode(response, c.packet);
        const auto logged = LineCapture::Lines();
        const int changes = int(std::count(logged.begin(), logged.end(), "struct change !!!!!!!!!!!!!!!!"));
        int received = 0;
        for (const bool waiting : {true, false}) {
            while (std::unique_ptr<TipRecord> got{waiting ? store.GetWaitPicData() : store.GetOneShowData(1)}) {
                ++received;
                EXPECT_EQ(got->nMessageID % 2 == 1, waiting) << c.what << " " << got->nMessageID;
                EXPECT_EQ(std::memcmp(got.get(), SentTip(got->nMessageID).get(), sizeof *got), 0) << got->nMessageID;
            }
        }
        EXPECT_EQ(Outcome(line, response.GetResultCode(), response.GetLastTime(), response.GetPanelInterval(), received,
                          changes, response.GetVersion(), response.GetSequence()),
                  c.outcome)
            << c.what;
    }
}

// One record, picture included, every text "x" but `field`, which is
// `length` bytes long ("buttons": `length` buttons announced); interval 30.
std::vector<uint8_t> OneRecord(const std::string& field = "", size_t length = 0) {
    std::vector<uint8_t> body = Words({0, 0, 1});
    ByteWriter w(body);
    auto text = [&](const char* name) {
        const std::string t = field == name ? std::string(length, 'q') : "x";
        w.PutText(t.data(), t.size());
    };
    w.PutU32(0), w.PutU32(7), w.PutU8(0);
    for (int32_t word : {10, kNow - 1, kNow + 100}) w.PutI32(word);
    for (const char* name : {"picture", "text", "link"}) text(name);
    w.PutI32(field == "buttons" ? int32_t(length) : 3);
    for (int k = 0; k < 3; ++k) text("caption"), text("action"), text("url");
    w.PutU8(0), text("title");
    StoreBigEndian32(body.data() + 12, uint32_t(body.size() - 12));
    w.PutU32(30);
    return body;
}

// The longest of each: the full fields of the tips in PacketOutcomes.
TEST(RespNewMess, ATextLongerThanItsFieldIsRefused) {
    LineCapture capture;
    CRespNewMess response(nullptr);
    for (const auto& [field, longest, refusal] :
         std::vector<std::tuple<std::string, size_t, std::string>>{{"picture", 1024, "13"},
                                                                   {"text", 100, "16"},
                                                                   {"link", 1024, "19"},
                                                                   {"caption", 20, "24"},
                                                                   {"action", 20, "27"},
                                                                   {"url", 1024, "30"},
                                                                   {"title", 40, "34"},
                                                                   {"buttons", 3, "21"}}) {
        EXPECT_EQ(Decode(response, Packet("RESPNEWMESS", OneRecord(field, longest + 1))), "threw error" + refusal)
            << field;
    }
}

TEST(RespNewMess, EveryCutFailsWithThatFieldsLine) {
    LineCapture capture;
    std::vector<std::pair<size_t, std::string>> layout;
    auto add = [&](size_t width, int line) { layout.push_back({width, "threw error" + std::to_string(line)}); };
    auto text = [&](int line) { add(4, line), add(1, line + 1); };
    add(4, 1), add(4, 3), add(4, 4), add(4, 5), add(4, 6), add(1, 7), add(4, 8), add(4, 9), add(4, 11);
    text(11), text(14), text(17), add(4, 20);
    for (int k = 0; k < 3; ++k) text(22), text(25), text(28);
    add(1, 31), text(32), add(4, 35);
    const auto body = OneRecord();
    CRespNewMess response(nullptr);
    size_t field = 0, fieldEnd = layout[0].first;
    for (size_t cut = 0; cut < body.size(); ++cut) {
        while (fieldEnd <= cut) fieldEnd += layout[++field].first;
        EXPECT_EQ(Decode(response, Packet("RESPNEWMESS", {body.begin(), body.begin() + cut})), layout[field].second)
            << "cut at " << cut;
    }
    EXPECT_EQ(fieldEnd, body.size());
}

TEST(TipRecord, FieldsStayInsideTheRecord) {
    auto tip = SentTip(2);
    SetFieldText(tip->szTitle, std::string(60, 'y'));
    EXPECT_EQ(FieldText(tip->szTitle) + char(tip->byVersion), std::string(39, 'y') + char(kTipRecordVersion));
    SetFieldText(tip->szTitle, "short");
    EXPECT_EQ(std::string(tip->szTitle, sizeof tip->szTitle), "short" + std::string(35, '\0'));
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    tip->nButtonCount = 4;
    EXPECT_FALSE(AppendTipRecordWire(out, *tip));
}

// A user name with a NUL travels whole; its log line stops at the NUL.
TEST(QueryNewMess, PacketBytesAndTheirReading) {
    LineCapture lines;
    struct Case {
        std::string user, pid;
        uint32_t lastTime, messageId, sequence;
        std::vector<uint8_t> body;
    };
    const Case cases[] = {
        {"abc", "", 0, 7, 1u << 30, {0, 0, 0, 3, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}},
        {"", "E", 0x01020304, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1, 'E', 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0}},
        {std::string("a\0b", 3), "", 0, 0, 1, {0, 0, 0, 3, 'a', 0, 'b', 0, 0, 0, 0, 0,
                                               0, 0, 0, 0, 0,   0, 0,   0, 0, 0, 0}},
    };
    SetSequenceCounterForTest((1u << 30) - 1);
    for (const Case& c : cases) {
        CQueryNewMess query;
        query.SetLastTime(c.lastTime, 99);
        lines.Clear();
        EXPECT_EQ(query.SetQueryParameter(c.user, c.pid, c.messageId), 1);
        EXPECT_EQ(lines.Lines(), (std::vector<std::string>{"Query Parameter", c.user.c_str(), c.pid}));
        auto expected = Packet("QUERYNEWMESS", c.body);
        StoreBigEndian32(expected.data() + 4, c.sequence);
        std::vector<uint8_t> packet(expected.size(), 0xCC);
        uint32_t length = uint32_t(packet.size() - 1);
        EXPECT_EQ(query.Encode(packet.data(), length), packet.size()) << "a byte short: the room it needs";
        EXPECT_EQ(packet, std::vector<uint8_t>(packet.size(), 0xCC));
        length = uint32_t(packet.size());
        query.Encode(packet.data(), length);
        EXPECT_EQ(std::make_pair(packet, length), std::make_pair(expected, uint32_t(expected.size()))) << c.user;
        QueryFields fields;
        ASSERT_TRUE(ParseQueryBody(c.body.data(), c.body.size(), &fields));
        EXPECT_EQ(std::tie(fields.userName, fields.pid, fields.lastTime, fields.messageId),
                  std::tie(c.user, c.pid, c.lastTime, c.messageId));
        for (size_t cut = 0; cut < c.body.size(); ++cut) {
            EXPECT_FALSE(ParseQueryBody(c.body.data(), cut, &fields)) << cut;
            EXPECT_EQ(fields.messageId, c.messageId);  // untouched
        }
    }
}

}  // namespace
