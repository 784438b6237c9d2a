#include "protocol/resp_new_mess.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "store/show_data_list.h"

namespace {

using coretest::FixedClock;
using coretest::LineCapture;
using coretest::MakeTip;
using coretest::Packet;
using coretest::ResponseBody;
using coretest::Words;

constexpr int32_t kNow = 1500000000;

// Decodes a body, and reports the numbered line of a failure ("" if none).
struct Outcome {
    bool threw = false;
    std::string lastLine;
};

class RespNewMessTest : public testing::Test {
protected:
    Outcome DecodeBody(const std::vector<uint8_t>& body) {
        LineCapture::Clear();
        const auto packet = Packet("RESPNEWMESS", body);
        Outcome outcome;
        try {
            response_.Decode(packet.data(), uint32_t(packet.size()));
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), "error");
            outcome.threw = true;
        }
        const auto lines = LineCapture::Lines();
        if (!lines.empty()) outcome.lastLine = lines.back();
        return outcome;
    }

    std::vector<uint32_t> SlideIds() { return coretest::DrainSlideQueue(store_); }

    FixedClock clock_{kNow};
    LineCapture lines_;
    CShowDataList store_;
    CRespNewMess response_{&store_};
};

TEST_F(RespNewMessTest, SixteenByteBodyWithoutRecords) {
    const Outcome o = DecodeBody(Words({0, 5, 0, 30}));
    EXPECT_FALSE(o.threw);
    EXPECT_EQ(response_.GetResultCode(), 0);
    EXPECT_EQ(response_.GetLastTime(), 5u);
    EXPECT_EQ(response_.GetPanelInterval(), 30u);
    EXPECT_EQ(LineCapture::Count("nMessageCount == 0"), 1);
    EXPECT_EQ(store_.GetShowDataCount(), 0);
}

TEST_F(RespNewMessTest, NonZeroStatusEndsDecodingQuietly) {
    auto body = Words({3});
    body.insert(body.end(), {0xDE, 0xAD});  // garbage after the status
    const Outcome o = DecodeBody(body);
    EXPECT_FALSE(o.threw);
    EXPECT_EQ(o.lastLine, "error2");
    EXPECT_EQ(response_.GetResultCode(), 3);
    EXPECT_EQ(response_.GetLastTime(), 0u);
    EXPECT_EQ(response_.GetPanelInterval(), 0u);
}

TEST_F(RespNewMessTest, ErrorPacketsDecodeIntoTheResultCode) {
    const auto seven = Packet("RESPERROR", Words({7}));
    response_.Decode(seven.data(), uint32_t(seven.size()));
    EXPECT_EQ(response_.GetResultCode(), 7);
    EXPECT_EQ(LineCapture::Lines(), std::vector<std::string>{"error2"});
    EXPECT_EQ(store_.GetShowDataCount(), 0);

    // Code 0 reads as the start of a new-tips body, which then ends too soon.
    CRespNewMess zero(&store_);
    const auto packet = Packet("RESPERROR", Words({0}));
    LineCapture::Clear();
    EXPECT_THROW(zero.Decode(packet.data(), uint32_t(packet.size())), std::exception);
    EXPECT_EQ(LineCapture::Lines(), std::vector<std::string>{"error3"});
    EXPECT_EQ(zero.GetResultCode(), 0);
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

// A record with every text at a chosen length; the longest texts that fit
// are accepted and one byte more fails with the field's own line.
struct LimitCase {
    const char* field;
    size_t length;
    const char* line;  // nullptr: accepted
};

std::unique_ptr<TipRecord> TipWithText(const char* field, size_t length, std::vector<uint8_t>* wire) {
    auto tip = MakeTip(7, kNow - 1, kNow + 100, "");
    tip->nButtonCount = 3;
    const std::string text(length, 'q');
    std::vector<uint8_t> out;
    ByteWriter w(out);
    // Write by hand, since a record cannot hold an over-long text.
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
    w.PutI32(3);
    for (int k = 0; k < 3; ++k) {
        put(k == 2 ? "caption" : "-", "c");
        put(k == 2 ? "action" : "-", "a");
        put(k == 2 ? "url" : "-", "u");
    }
    w.PutU8(0);
    put("title", "h");
    w.PatchU32(0, uint32_t(out.size()));
    *wire = out;
    return tip;
}

TEST_F(RespNewMessTest, EveryTextLimitAtItsEdge) {
    const std::vector<LimitCase> cases = {
        {"picture", 1024, nullptr}, {"picture", 1025, "error13"}, {"text", 100, nullptr},
        {"text", 101, "error16"},   {"link", 1024, nullptr},      {"link", 1025, "error19"},
        {"caption", 20, nullptr},   {"caption", 21, "error24"},   {"action", 20, nullptr},
        {"action", 21, "error27"},  {"url", 1024, nullptr},       {"url", 1025, "error30"},
        {"title", 40, nullptr},     {"title", 41, "error34"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> record;
        TipWithText(c.field, c.length, &record);
        auto body = Words({0, 0, 1});
        body.insert(body.end(), record.begin(), record.end());
        const auto tail = Words({30});
        body.insert(body.end(), tail.begin(), tail.end());

        CShowDataList store;
        CRespNewMess response(&store);
        const auto packet = Packet("RESPNEWMESS", body);
        LineCapture::Clear();
        bool threw = false;
        try {
            response.Decode(packet.data(), uint32_t(packet.size()));
        } catch (const std::exception&) {
            threw = true;
        }
        const std::string what = std::string(c.field) + " " + std::to_string(c.length);
        if (c.line == nullptr) {
            EXPECT_FALSE(threw) << what;
            EXPECT_EQ(response.GetPanelInterval(), 30u) << what;
            // A picture makes the tip wait for its download instead.
            TipRecord* tip = std::strcmp(c.field, "picture") == 0 ? store.GetWaitPicData() : store.GetOneShowData(1);
            ASSERT_NE(tip, nullptr) << what;
            EXPECT_EQ(tip->aButtons[2].szURL[0], std::strcmp(c.field, "url") == 0 ? 'q' : 'u') << what;
            delete tip;
        } else {
            EXPECT_TRUE(threw) << what;
            EXPECT_EQ(LineCapture::Lines().back(), c.line) << what;
            EXPECT_EQ(store.GetShowDataCount(), 0) << what;
            EXPECT_EQ(response.GetPanelInterval(), 0u) << what;
        }
    }
}

TEST_F(RespNewMessTest, FullTitleFillsItsFieldWithoutANul) {
    std::vector<uint8_t> record;
    TipWithText("title", 40, &record);
    auto body = Words({0, 0, 1});
    body.insert(body.end(), record.begin(), record.end());
    const auto tail = Words({1});
    body.insert(body.end(), tail.begin(), tail.end());
    ASSERT_FALSE(DecodeBody(body).threw);
    std::unique_ptr<TipRecord> tip(store_.GetOneShowData(1));
    ASSERT_TRUE(tip);
    EXPECT_EQ(FieldText(tip->szTitle), std::string(40, 'q'));
    EXPECT_EQ(tip->byVersion, 11);
}

TEST_F(RespNewMessTest, ButtonCountThreeIsReadAndFourRefused) {
    for (int32_t buttons : {3, 4}) {
        auto tip = MakeTip(1, kNow - 1, kNow + 1);
        tip->nButtonCount = 3;
        auto body = ResponseBody(0, {tip.get()}, 5);
        // The count word follows the fixed fields and the three texts.
        const size_t countAt = 12 + 21 + 4 + 4 + 4 + 4;
        ASSERT_EQ(LoadBigEndian32(body.data() + countAt), 3u);
        StoreBigEndian32(body.data() + countAt, uint32_t(buttons));
        CShowDataList store;
        CRespNewMess response(&store);
        const auto packet = Packet("RESPNEWMESS", body);
        LineCapture::Clear();
        if (buttons == 3) {
            EXPECT_NO_THROW(response.Decode(packet.data(), uint32_t(packet.size())));
            EXPECT_EQ(store.GetShowDataCount(), 1);
        } else {
            EXPECT_THROW(response.Decode(packet.data(), uint32_t(packet.size())), std::exception);
            EXPECT_EQ(LineCapture::Lines().back(), "error21");
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

    // Cuts inside the first three words.
    EXPECT_EQ(DecodeBody({0, 0}).lastLine, "error1");
    EXPECT_EQ(DecodeBody(Words({0, 1})).lastLine, "error4");
    EXPECT_EQ(DecodeBody(Words({0})).lastLine, "error3");
    EXPECT_EQ(response_.GetResultCode(), 0);
}

TEST_F(RespNewMessTest, DecodedRecordMatchesWhatWasSentAndGoesToThePictureQueue) {
    auto tip = RichTip(3);
    const Outcome o = DecodeBody(ResponseBody(1, {tip.get()}, 60));
    ASSERT_FALSE(o.threw);
    EXPECT_EQ(o.lastLine, "Recv one Data ,AddWaitPicData");
    EXPECT_EQ(store_.GetShowDataCount(), 0);
    std::unique_ptr<TipRecord> got(store_.GetWaitPicData());
    ASSERT_TRUE(got);
    tip->bPicReady = 0;  // waits for its picture
    EXPECT_EQ(std::memcmp(got.get(), tip.get(), sizeof(TipRecord)), 0);
    EXPECT_EQ(got->aButtons[2].szCaption[0], 0);
    EXPECT_EQ(int32_t{got->nButtonCount}, 2);
}

TEST_F(RespNewMessTest, TipWithoutPictureGoesStraightToTheSlideQueue) {
    auto tip = MakeTip(8, kNow, kNow);
    tip->bPicReady = 0;  // set by the decoder, not sent
    ASSERT_FALSE(DecodeBody(ResponseBody(1, {tip.get()}, 60)).threw);
    const auto lines = LineCapture::Lines();
    EXPECT_EQ(LineCapture::Count("Recv one Data ,Add list"), 1);
    EXPECT_EQ(LineCapture::Count("Recv one Data ,AddWaitPicData"), 0);
    std::unique_ptr<TipRecord> got(store_.GetOneShowData(1));
    ASSERT_TRUE(got);
    EXPECT_EQ(uint32_t{got->bPicReady}, 1u);
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
    EXPECT_EQ(SlideIds(), (std::vector<uint32_t>{1, 2}));
}

TEST_F(RespNewMessTest, RecordLengthZeroDecodesTheSameBytesAgain) {
    auto tip = MakeTip(4, kNow - 1, kNow + 1);
    auto body = ResponseBody(1, {tip.get()}, 60, 2);
    StoreBigEndian32(body.data() + 12, 0);
    // The second pass reads the one record again; the interval follows it.
    const Outcome o = DecodeBody(body);
    ASSERT_FALSE(o.threw);
    EXPECT_EQ(LineCapture::Count("struct change !!!!!!!!!!!!!!!!"), 2);
    EXPECT_EQ(LineCapture::Count("AddOneShowData but data exist"), 1);
    EXPECT_EQ(SlideIds(), std::vector<uint32_t>{4});
}

TEST_F(RespNewMessTest, HugeRecordLengthFailsAtTheNextRead) {
    auto tip = MakeTip(4, kNow - 1, kNow + 1);
    auto body = ResponseBody(1, {tip.get()}, 60);
    StoreBigEndian32(body.data() + 12, 0xFFFFFFF0);
    const Outcome o = DecodeBody(body);
    EXPECT_TRUE(o.threw);
    EXPECT_EQ(o.lastLine, "error35");
    EXPECT_EQ(store_.GetShowDataCount(), 1);  // the record itself was complete
}

TEST_F(RespNewMessTest, CutInsideTheThirdOfFiveLeavesTwoInTheStore) {
    std::vector<std::unique_ptr<TipRecord>> owned;
    std::vector<const TipRecord*> tips;
    for (uint32_t id = 1; id <= 5; ++id) {
        owned.push_back(RichTip(id));
        SetFieldText(owned.back()->szPicture, "");
        owned.back()->byShowFirst = 0;
        tips.push_back(owned.back().get());
    }
    auto body = ResponseBody(77, tips, 60);
    std::vector<uint8_t> twoRecords;
    {
        ByteWriter w(twoRecords);
        AppendTipRecordWire(w, *tips[0]);
        AppendTipRecordWire(w, *tips[1]);
    }
    const size_t thirdAt = 12 + twoRecords.size();
    body.resize(thirdAt + 30);  // inside the third record's text
    const Outcome o = DecodeBody(body);
    EXPECT_TRUE(o.threw);
    EXPECT_EQ(o.lastLine, "error15");
    EXPECT_EQ(response_.GetResultCode(), 0);
    EXPECT_EQ(response_.GetLastTime(), 77u);
    EXPECT_EQ(response_.GetPanelInterval(), 0u);
    EXPECT_EQ(SlideIds(), (std::vector<uint32_t>{1, 2}));
}

TEST(RespNewMess, WithoutAStoreTipsAreDroppedSafely) {
    auto tip = MakeTip(1, 0, 2000000000);
    const auto packet = Packet("RESPNEWMESS", ResponseBody(3, {tip.get()}, 8));
    CRespNewMess response(nullptr);
    response.Decode(packet.data(), uint32_t(packet.size()));
    EXPECT_EQ(response.GetPanelInterval(), 8u);
}

}  // namespace
