#include "protocol/resp_new_mess.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "protocol/net_response.h"
#include "store/show_data_list.h"

namespace {

using coretest::FixedClock;
using coretest::LineCapture;
using coretest::MakeTip;
using coretest::Packet;
using coretest::ResponseBody;
using coretest::Words;

constexpr int32_t kNow = 1500000000;

// Decodes a packet, and reports whether it threw and its last line.
struct Outcome {
    bool threw = false;
    std::string lastLine;
};

Outcome Decode(CRespNewMess& response, const std::vector<uint8_t>& packet) {
    LineCapture::Clear();
    Outcome outcome;
    try {
        response.Decode(packet.data(), uint32_t(packet.size()));
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "error");
        outcome.threw = true;
    }
    const auto lines = LineCapture::Lines();
    if (!lines.empty()) outcome.lastLine = lines.back();
    return outcome;
}

class RespNewMessTest : public testing::Test {
protected:
    Outcome DecodeBody(const std::vector<uint8_t>& body) { return Decode(response_, Packet("RESPNEWMESS", body)); }

    FixedClock clock_{kNow};
    LineCapture lines_;
    CShowDataList store_;
    CRespNewMess response_{&store_};
};

std::vector<uint8_t> WithWord(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    StoreBigEndian32(bytes.data() + at, value);
    return bytes;
}

// What a whole packet leaves behind: the codes read, the line decoding
// ended with, and how many tips reached the store.
TEST_F(RespNewMessTest, PacketOutcomes) {
    auto tip = MakeTip(4, kNow - 1, kNow + 1);
    const auto oneTip = ResponseBody(1, {tip.get()}, 60);
    struct Case {
        const char* what;
        const char* name;
        std::vector<uint8_t> body;
        bool threw;
        const char* lastLine;
        int32_t code;
        uint32_t lastTime;
        uint32_t interval;
        int32_t stored;
    };
    const std::vector<Case> cases = {
        {"no records", "RESPNEWMESS", Words({0, 5, 0, 30}), false, "nMessageCount == 0", 0, 5, 30, 0},
        {"status 3, garbage after", "RESPNEWMESS", {0, 0, 0, 3, 0xDE, 0xAD}, false, "error2", 3, 0, 0, 0},
        {"error packet", "RESPERROR", Words({7}), false, "error2", 7, 0, 0, 0},
        // Code 0 reads as the start of a new-tips body, which then ends too soon.
        {"error packet with code 0", "RESPERROR", Words({0}), true, "error3", 0, 0, 0, 0},
        {"empty body", "RESPERROR", {}, true, "error1", -1, 0, 0, 0},
        {"cut inside the status", "RESPNEWMESS", {0, 0}, true, "error1", -1, 0, 0, 0},
        {"cut inside the count", "RESPNEWMESS", Words({0, 1}), true, "error4", 0, 1, 0, 0},
        // The record itself is complete; the next read runs off the end.
        {"huge record length", "RESPNEWMESS", WithWord(oneTip, 12, 0xFFFFFFF0), true, "error35", 0, 1, 0, 1},
    };
    for (const auto& c : cases) {
        CShowDataList store;
        CRespNewMess response(&store);
        const Outcome o = Decode(response, Packet(c.name, c.body));
        EXPECT_EQ(o.threw, c.threw) << c.what;
        EXPECT_EQ(o.lastLine, c.lastLine) << c.what;
        EXPECT_EQ(response.GetResultCode(), c.code) << c.what;
        EXPECT_EQ(response.GetLastTime(), c.lastTime) << c.what;
        EXPECT_EQ(response.GetPanelInterval(), c.interval) << c.what;
        EXPECT_EQ(store.GetShowDataCount(), c.stored) << c.what;
    }
    // A plain response reads no body at all from an empty one.
    const auto empty = Packet("RESPERROR", {});
    CNetResponse plain("RESPNEWMESS");
    plain.Decode(empty.data(), uint32_t(empty.size()));
    EXPECT_EQ(plain.GetResultCode(), -1);
}

TEST_F(RespNewMessTest, RecordCountRules) {
    std::vector<std::unique_ptr<TipRecord>> owned;
    std::vector<const TipRecord*> tips;
    for (uint32_t id = 1; id <= 100; ++id) {
        owned.push_back(MakeTip(id, kNow - 1, kNow + 100));
        tips.push_back(owned.back().get());
    }
    struct Case {
        int32_t count;
        size_t recordsPresent;
        int32_t recordsRead;
    };
    // Over 100 reads 20, not 100; a negative count reads none.
    for (const Case c : {Case{101, 20, 20}, Case{5000, 20, 20}, Case{100, 100, 100}, Case{-1, 0, 0}}) {
        CShowDataList store;
        CRespNewMess response(&store);
        const std::vector<const TipRecord*> present(tips.begin(), tips.begin() + c.recordsPresent);
        const auto packet = Packet("RESPNEWMESS", ResponseBody(9, present, 44, c.count));
        ASSERT_NO_THROW(response.Decode(packet.data(), uint32_t(packet.size()))) << c.count;
        EXPECT_EQ(store.GetShowDataCount(), c.recordsRead) << c.count;
        EXPECT_EQ(response.GetPanelInterval(), 44u) << c.count;
    }
}

// One record written by hand, since a record cannot hold an over-long
// text: every text is short but `field`, which is `length` bytes long
// ("buttons": the button count is `length`).
std::vector<uint8_t> RecordWith(const char* field, size_t length) {
    const std::string text(length, 'q');
    std::vector<uint8_t> out;
    ByteWriter w(out);
    auto put = [&](const char* name, const char* value) {
        if (std::strcmp(name, field) == 0) {
            w.PutText(text.data(), text.size());
        } else {
            w.PutText(value, std::strlen(value));
        }
    };
    w.PutU32(0);
    w.PutU32(7);
    w.PutU8(0);
    w.PutI32(10);
    w.PutI32(kNow - 1);
    w.PutI32(kNow + 100);
    put("picture", "");
    put("text", "t");
    put("link", "l");
    w.PutI32(std::strcmp(field, "buttons") == 0 ? int32_t(length) : 3);
    for (int k = 0; k < 3; ++k) {
        put(k == 2 ? "caption" : "-", "c");
        put(k == 2 ? "action" : "-", "a");
        put(k == 2 ? "url" : "-", "u");
    }
    w.PutU8(0);
    put("title", "h");
    w.PatchU32(0, uint32_t(out.size()));
    return out;
}

// The longest texts that fit are accepted whole; one byte more fails with
// the field's own line.
TEST_F(RespNewMessTest, EveryTextLimitAtItsEdge) {
    struct Case {
        const char* field;
        size_t length;
        const char* line;  // nullptr: accepted
    };
    const std::vector<Case> cases = {
        {"picture", 1024, nullptr}, {"picture", 1025, "error13"}, {"text", 100, nullptr},
        {"text", 101, "error16"},   {"link", 1024, nullptr},      {"link", 1025, "error19"},
        {"caption", 20, nullptr},   {"caption", 21, "error24"},   {"action", 20, nullptr},
        {"action", 21, "error27"},  {"url", 1024, nullptr},       {"url", 1025, "error30"},
        {"title", 40, nullptr},     {"title", 41, "error34"},     {"buttons", 3, nullptr},
        {"buttons", 4, "error21"},
    };
    for (const auto& c : cases) {
        auto body = Words({0, 0, 1});
        const auto record = RecordWith(c.field, c.length);
        body.insert(body.end(), record.begin(), record.end());
        const auto tail = Words({30});
        body.insert(body.end(), tail.begin(), tail.end());

        CShowDataList store;
        CRespNewMess response(&store);
        const Outcome o = Decode(response, Packet("RESPNEWMESS", body));
        const std::string what = std::string(c.field) + " " + std::to_string(c.length);
        if (c.line == nullptr) {
            EXPECT_FALSE(o.threw) << what;
            EXPECT_EQ(response.GetPanelInterval(), 30u) << what;
            // A picture makes the tip wait for its download instead.
            std::unique_ptr<TipRecord> tip(std::strcmp(c.field, "picture") == 0 ? store.GetWaitPicData()
                                                                                 : store.GetOneShowData(1));
            ASSERT_NE(tip, nullptr) << what;
            EXPECT_EQ(tip->aButtons[2].szURL[0], std::strcmp(c.field, "url") == 0 ? 'q' : 'u') << what;
        } else {
            EXPECT_TRUE(o.threw) << what;
            EXPECT_EQ(o.lastLine, c.line) << what;
            EXPECT_EQ(store.GetShowDataCount(), 0) << what;
            EXPECT_EQ(response.GetPanelInterval(), 0u) << what;
        }
    }
}

// Where each field of a record ends, and the line a body cut before that
// end fails with. Builds the expectation from the wire layout, not from
// the decoder.
std::vector<std::pair<size_t, std::string>> FieldEnds(const TipRecord& tip, size_t start) {
    std::vector<std::pair<size_t, std::string>> ends;
    size_t at = start;
    auto fixed = [&](size_t width, const char* line) { ends.push_back({at += width, line}); };
    auto text = [&](size_t length, const char* word, const char* bytes) {
        fixed(4, word);
        if (length != 0) fixed(length, bytes);
    };
    fixed(4, "error5");
    fixed(4, "error6");
    fixed(1, "error7");
    fixed(4, "error8");
    fixed(4, "error9");
    fixed(4, "error11");
    text(FieldLength(tip.szPicture), "error11", "error12");
    text(FieldLength(tip.szText), "error14", "error15");
    text(FieldLength(tip.szLinkURL), "error17", "error18");
    fixed(4, "error20");
    for (int k = 0; k < tip.nButtonCount; ++k) {
        text(FieldLength(tip.aButtons[k].szCaption), "error22", "error23");
        text(FieldLength(tip.aButtons[k].szAction), "error25", "error26");
        text(FieldLength(tip.aButtons[k].szURL), "error28", "error29");
    }
    fixed(1, "error31");
    text(FieldLength(tip.szTitle), "error32", "error33");
    return ends;
}

std::unique_ptr<TipRecord> RichTip(uint32_t id) {
    auto tip = MakeTip(id, kNow - 5, kNow + 5, "some text");
    SetFieldText(tip->szPicture, "http://pictures.example/7.gif");
    SetFieldText(tip->szLinkURL, "http://example/link");
    tip->nButtonCount = 2;
    SetFieldText(tip->aButtons[0].szCaption, "Get");
    SetFieldText(tip->aButtons[0].szAction, "DOWNLOAD");
    SetFieldText(tip->aButtons[0].szURL, "http://example/file.exe");
    SetFieldText(tip->aButtons[1].szCaption, "More");
    SetFieldText(tip->aButtons[1].szAction, "OPENURL");
    SetFieldText(tip->aButtons[1].szURL, "http://example/more");
    SetFieldText(tip->szTitle, "Heading");
    tip->byShowFirst = 1;
    tip->byStyle = 21;
    return tip;
}

TEST_F(RespNewMessTest, EveryCutInsideARecordFailsWithThatFieldsLine) {
    auto tip = RichTip(3);
    const auto body = ResponseBody(1, {tip.get()}, 60);
    auto ends = FieldEnds(*tip, 12);
    ends.push_back({ends.back().first + 4, "error35"});
    ASSERT_EQ(ends.back().first, body.size());

    size_t field = 0;
    for (size_t cut = 12; cut < body.size(); ++cut) {
        while (ends[field].first <= cut) ++field;
        const Outcome o = DecodeBody(std::vector<uint8_t>(body.begin(), body.begin() + cut));
        EXPECT_TRUE(o.threw) << cut;
        EXPECT_EQ(o.lastLine, ends[field].second) << "cut at " << cut;
        EXPECT_EQ(response_.GetPanelInterval(), 0u);
    }
    // Only cuts inside the panel interval leave a whole record behind.
    int waiting = 0;
    while (std::unique_ptr<TipRecord>(store_.GetWaitPicData())) ++waiting;
    EXPECT_EQ(waiting, 4);
    EXPECT_EQ(store_.GetShowDataCount(), 0);
}

// A tip with a picture waits for it; one without is ready to show. The
// ready flag is the decoder's, whatever was sent.
TEST_F(RespNewMessTest, PictureDecidesTheQueueAndTheReadyFlag) {
    for (const bool picture : {true, false}) {
        auto tip = RichTip(3);
        if (!picture) SetFieldText(tip->szPicture, "");
        tip->bPicReady = picture ? 1 : 0;
        CShowDataList store;
        CRespNewMess response(&store);
        const Outcome o = Decode(response, Packet("RESPNEWMESS", ResponseBody(1, {tip.get()}, 60)));
        ASSERT_FALSE(o.threw);
        EXPECT_EQ(LineCapture::Count("Recv one Data ,Add list"), 1);
        EXPECT_EQ(LineCapture::Count("Recv one Data ,AddWaitPicData"), picture ? 1 : 0);
        EXPECT_EQ(store.GetShowDataCount(), picture ? 0 : 1);
        std::unique_ptr<TipRecord> got(picture ? store.GetWaitPicData() : store.GetOneShowData(1));
        ASSERT_TRUE(got) << picture;
        tip->bPicReady = picture ? 0 : 1;
        EXPECT_EQ(std::memcmp(got.get(), tip.get(), sizeof(TipRecord)), 0) << picture;
    }
}

TEST_F(RespNewMessTest, LongerRecordLengthSkipsUnknownTrailingBytes) {
    auto first = MakeTip(1, kNow - 1, kNow + 1, "one");
    auto second = MakeTip(2, kNow - 1, kNow + 1, "two");
    std::vector<uint8_t> body = Words({0, 1, 2});
    ByteWriter w(body);
    const size_t recordAt = body.size();
    AppendTipRecordWire(w, *first);
    const uint32_t length = LoadBigEndian32(body.data() + recordAt);
    StoreBigEndian32(body.data() + recordAt, length + 8);
    w.PutBytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8);  // fields of a newer server
    AppendTipRecordWire(w, *second);
    w.PutU32(15);

    const Outcome o = DecodeBody(body);
    ASSERT_FALSE(o.threw);
    EXPECT_EQ(LineCapture::Count("struct change !!!!!!!!!!!!!!!!"), 1);
    EXPECT_EQ(response_.GetPanelInterval(), 15u);
    EXPECT_EQ(coretest::DrainSlideQueue(store_), (std::vector<uint32_t>{1, 2}));
}

TEST_F(RespNewMessTest, RecordLengthZeroDecodesTheSameBytesAgain) {
    auto tip = MakeTip(4, kNow - 1, kNow + 1);
    // The second pass reads the one record again; the interval follows it.
    const Outcome o = DecodeBody(WithWord(ResponseBody(1, {tip.get()}, 60, 2), 12, 0));
    ASSERT_FALSE(o.threw);
    EXPECT_EQ(LineCapture::Count("struct change !!!!!!!!!!!!!!!!"), 2);
    EXPECT_EQ(LineCapture::Count("AddOneShowData but data exist"), 1);
    EXPECT_EQ(coretest::DrainSlideQueue(store_), std::vector<uint32_t>{4});
}

TEST(RespNewMess, WithoutAStoreTipsAreDroppedSafely) {
    auto tip = MakeTip(1, 0, 2000000000);
    const auto packet = Packet("RESPNEWMESS", ResponseBody(3, {tip.get()}, 8));
    CRespNewMess response(nullptr);
    response.Decode(packet.data(), uint32_t(packet.size()));
    EXPECT_EQ(response.GetPanelInterval(), 8u);
}

}  // namespace
