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
using namespace std::literals;

constexpr int32_t kNow = 1500000000;

// What decoding one packet leaves: how it ended, the response's fields and
// how many tips reached the store.
struct Outcome {
    bool threw = false;
    std::string line;  // the last one logged
    int32_t result = 0;
    uint32_t last = 0;  // the server's last time
    uint32_t interval = 0;
    int tips = 0;
    int changes = 0;  // "struct change" lines: records longer than this decoder reads
    uint32_t version = 10;
    uint32_t seq = 1;
    NAMED_FIELDS(Outcome, threw, line, result, last, interval, tips, changes, version, seq)
};

// Decodes a packet into `store` (none: nothing is counted there).
Outcome Decode(const std::vector<uint8_t>& packet, CShowDataList* store = nullptr) {
    LineCapture::Clear();
    CRespNewMess response(store);
    Outcome o;
    try {
        response.Decode(packet.data(), uint32_t(packet.size()));
    } catch (const std::runtime_error& e) {
        o.threw = true;
        if (e.what() != std::string("error")) o.line = "another error: ";
    }
    const auto lines = LineCapture::Lines();
    o.line += lines.empty() ? "" : lines.back();
    o.changes = int(std::count(lines.begin(), lines.end(), "struct change !!!!!!!!!!!!!!!!"));
    o.result = response.GetResultCode();
    o.last = response.GetLastTime();
    o.interval = response.GetPanelInterval();
    o.version = response.GetVersion();
    o.seq = response.GetSequence();
    return o;
}

// Tip `id` as a server sends it: id % 4 buttons (none, as a count of -1,
// when id % 8 is 0), a picture when the id is odd; above id 4 every text
// fills its field to the brim (no NUL), below it has a few bytes.
std::unique_ptr<TipRecord> SentTip(uint32_t id) {
    auto tip = MakeTip(id, kNow - 1, kNow + 100, "");
    auto fill = [&](auto& field, int c) { std::memset(field, c, id > 4 ? sizeof field : id + 2); };
    fill(tip->szText, 't');
    fill(tip->szLinkURL, 'l');
    fill(tip->szTitle, 'h');
    if (id % 2) fill(tip->szPicture, 'p');
    tip->bPicReady = id % 2 ? 0 : 1;  // the decoder's flag: no picture to wait for
    tip->nButtonCount = id % 8 == 0 ? -1 : int32_t(id % 4);
    for (int k = 0; k < tip->nButtonCount; ++k) {
        fill(tip->aButtons[k].szCaption, 'A' + k);
        fill(tip->aButtons[k].szAction, 'a');
        fill(tip->aButtons[k].szURL, 'u');
    }
    tip->byStyle = uint8_t(id * 37);
    tip->nShowSeconds = -int32_t(id);
    tip->byShowFirst = uint8_t(id % 3);
    return tip;
}

// A body of tips 1..present announced as `count`: last time 0, interval 44.
std::vector<uint8_t> Many(uint32_t present, int32_t count) {
    auto body = Words({0, 0, uint32_t(count)});
    ByteWriter w(body);
    for (uint32_t id = 1; id <= present; ++id) AppendTipRecordWire(w, *SentTip(id));
    w.PutU32(44);
    return body;
}

std::vector<uint8_t> Resp(const std::vector<uint8_t>& body) { return Packet("RESPNEWMESS", body); }
std::vector<uint8_t> Tips(uint32_t present, int32_t count) { return Resp(Many(present, count)); }

const uint32_t kFirstRecord = uint32_t(Many(1, 1).size() - 16);  // its length word included

// Tips() with the first record's length word set, `extra` bytes (a newer server's) after that record.
std::vector<uint8_t> FirstLength(uint32_t present, int32_t count, uint32_t length, size_t extra = 0) {
    auto body = Many(present, count);
    StoreBigEndian32(body.data() + 12, length);
    body.insert(body.begin() + 12 + kFirstRecord, extra, 0xFF);
    return Resp(body);
}

const auto kNoRecords = Words({0, 5, 0, 30});  // last time 5, interval 30

// The response without records, one header word changed.
std::vector<uint8_t> HeaderWord(size_t at, uint32_t value) {
    auto bytes = Resp(kNoRecords);
    StoreBigEndian32(bytes.data() + at, value);
    return bytes;
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
    for (uint32_t word : {0, 7}) w.PutU32(word);  // the record length (set below), the id
    w.PutU8(0);                                   // the style
    for (int32_t word : {10, kNow - 1, kNow + 100}) w.PutI32(word);
    for (const char* name : {"picture", "text", "link"}) text(name);
    w.PutI32(field == "buttons" ? int32_t(length) : 3);
    for (int k = 0; k < 3; ++k) {
        for (const char* name : {"caption", "action", "url"}) text(name);
    }
    w.PutU8(0);  // shown first
    text("title");
    StoreBigEndian32(body.data() + 12, uint32_t(body.size() - 12));
    w.PutU32(30);
    return body;
}

const Outcome kUnread{.result = -1};
const std::string kNone = "nMessageCount == 0", kAdded = "CShowDataList AddOneShowData";

TEST(RespNewMess, PacketOutcomes) {
    FixedClock clock(kNow);
    LineCapture capture;
    const struct {
        const char* why;
        std::vector<uint8_t> packet;
        Outcome expected;
    } cases[] = {
        {"no records", HeaderWord(4, 77), {.line = kNone, .last = 5, .interval = 30, .seq = 77}},
        {"the rest length is not looked at", HeaderWord(8, 999999), {.line = kNone, .last = 5, .interval = 30}},
        {"version 9", HeaderWord(0, 9), {.result = -1, .version = 9, .seq = 0}},
        {"version 11", HeaderWord(0, 11), {.result = -1, .version = 11, .seq = 0}},
        {"the first four letters of the name", Packet("RESP", kNoRecords), kUnread},
        {"a name with one more letter", Packet("RESPNEWMESSX", kNoRecords), kUnread},
        {"another name of the same length", Packet("RESPNEWMESZ", kNoRecords), kUnread},
        {"status 3, garbage after", Resp({0, 0, 0, 3, 0xDE, 0xAD}), {.line = "error2", .result = 3}},
        {"an error packet", Packet("RESPERROR", Words({7})), {.line = "error2", .result = 7}},
        {"an error packet with code 0", Packet("RESPERROR", Words({0})), {.threw = true, .line = "error3"}},
        {"huge length", FirstLength(1, 1, 0xFFFFFFF0), {.threw = true, .line = "error35", .tips = 1, .changes = 1}},
        {"over 100 announced reads 20", Tips(20, 101), {.line = kAdded, .interval = 44, .tips = 20}},
        {"100 announced reads 100", Tips(100, 100), {.line = kAdded, .interval = 44, .tips = 100}},
        {"a negative count reads none", Tips(0, -1), {.interval = 44}},
        // A newer server's longer record: its tail is skipped.
        {"longer", FirstLength(2, 2, kFirstRecord + 8, 8), {.line = kAdded, .interval = 44, .tips = 2, .changes = 1}},
        // A zero length makes the record be read again, and then its length word as the interval.
        {"zero length", FirstLength(1, 2, 0), {.line = "Recv one Data ,AddWaitPicData", .tips = 2, .changes = 2}},
        // One byte over each field; the tips above fill every field to the brim.
        {"picture too long", Resp(OneRecord("picture", 1025)), {.threw = true, .line = "error13"}},
        {"text too long", Resp(OneRecord("text", 101)), {.threw = true, .line = "error16"}},
        {"link too long", Resp(OneRecord("link", 1025)), {.threw = true, .line = "error19"}},
        {"caption too long", Resp(OneRecord("caption", 21)), {.threw = true, .line = "error24"}},
        {"action too long", Resp(OneRecord("action", 21)), {.threw = true, .line = "error27"}},
        {"button url too long", Resp(OneRecord("url", 1025)), {.threw = true, .line = "error30"}},
        {"title too long", Resp(OneRecord("title", 41)), {.threw = true, .line = "error34"}},
        {"four buttons", Resp(OneRecord("buttons", 4)), {.threw = true, .line = "error21"}},
    };
    for (const auto& c : cases) {
        CShowDataList store;
        SetSequenceCounterForTest(uint32_t(-1));  // the response's own number: 0
        Outcome got = Decode(c.packet, &store);
        for (const bool waiting : {true, false}) {
            while (std::unique_ptr<TipRecord> tip{waiting ? store.GetWaitPicData() : store.GetOneShowData(1)}) {
                ++got.tips;
                EXPECT_EQ(tip->nMessageID % 2 == 1, waiting) << c.why << ": tip " << tip->nMessageID;
                EXPECT_EQ(std::memcmp(tip.get(), SentTip(tip->nMessageID).get(), sizeof *tip), 0) << tip->nMessageID;
            }
        }
        EXPECT_EQ(got, c.expected) << c.why;
    }
}

// The body of OneRecord() field by field: each field's width and the number of the "error<n>" line a cut inside
// it logs. A text "x" is its length word, then its byte.
std::vector<std::pair<size_t, int>> FieldsAndCutLines() {
    // Status, last time, count, record length, id, style, show seconds, begin, end.
    std::vector<std::pair<size_t, int>> fields = {{4, 1}, {4, 3}, {4, 4}, {4, 5}, {4, 6},
                                                  {1, 7}, {4, 8}, {4, 9}, {4, 11}};
    const auto text = [&](int line) { fields.insert(fields.end(), {{4, line}, {1, line + 1}}); };
    for (int line : {11, 14, 17}) text(line);  // picture, text, link
    fields.push_back({4, 20});                 // button count
    for (int k = 0; k < 3; ++k) {
        for (int line : {22, 25, 28}) text(line);  // caption, action, url
    }
    fields.push_back({1, 31});  // shown first
    text(32);                   // title
    fields.push_back({4, 35});  // interval
    return fields;
}

TEST(RespNewMess, EveryCutFailsWithThatFieldsLine) {
    LineCapture capture;
    const auto body = OneRecord();
    size_t cut = 0;
    for (const auto& [width, line] : FieldsAndCutLines()) {
        for (const size_t fieldEnd = cut + width; cut < fieldEnd; ++cut) {
            const Outcome got = Decode(Resp({body.begin(), body.begin() + cut}));
            EXPECT_TRUE(got.threw) << "cut at " << cut;
            EXPECT_EQ(got.line, "error" + std::to_string(line)) << "cut at " << cut;
        }
    }
    EXPECT_EQ(cut, body.size());
}

TEST(TipRecord, FieldsStayInsideTheRecord) {
    auto tip = SentTip(2);
    SetFieldText(tip->szTitle, std::string(60, 'y'));
    EXPECT_EQ(FieldText(tip->szTitle), std::string(39, 'y'));
    EXPECT_EQ(tip->byVersion, kTipRecordVersion) << "the byte after the title";
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
    const struct {
        std::string user, pid;
        uint32_t lastTime = 0, messageId = 0, sequence = 0;
        std::vector<uint8_t> body;  // user name, pid (each its length, then its bytes), reserved, last time, id
    } cases[] = {
        {"abc", "", 0, 7, 1u << 30, {0, 0, 0, 3, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}},
        {"", "E", 0x01020304, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1, 'E', 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0}},  // big-endian
        {"a\0b"s, "", 0, 0, 1, {0, 0, 0, 3, 'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    SetSequenceCounterForTest((1u << 30) - 1);
    for (const auto& c : cases) {
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
        EXPECT_EQ(length, expected.size());
        EXPECT_EQ(packet, expected) << c.user;
        QueryFields fields;
        ASSERT_TRUE(ParseQueryBody(c.body.data(), c.body.size(), &fields));
        EXPECT_EQ(fields.userName, c.user);
        EXPECT_EQ(fields.pid, c.pid);
        EXPECT_EQ(fields.lastTime, c.lastTime);
        EXPECT_EQ(fields.messageId, c.messageId);
        for (size_t cut = 0; cut < c.body.size(); ++cut) {
            EXPECT_FALSE(ParseQueryBody(c.body.data(), cut, &fields)) << cut;
            EXPECT_EQ(fields.messageId, c.messageId);  // untouched
        }
    }
}

}  // namespace
