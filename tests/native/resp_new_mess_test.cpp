#include "protocol/resp_new_mess.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "core_test_support.h"
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

// A body of `present` picture-less tips (ids from 1) announced as `count`:
// last time 9, panel interval 44, each record 46 bytes.
std::vector<uint8_t> Many(uint32_t present, int32_t count) {
    auto tip = MakeTip(0, kNow - 1, kNow + 100);
    auto body = Words({0, 9, uint32_t(count)});
    ByteWriter w(body);
    for (tip->nMessageID = 1; tip->nMessageID <= present; ++tip->nMessageID) AppendTipRecordWire(w, *tip);
    w.PutU32(44);
    return body;
}

// The first record's length word set to `length`, and `extra` bytes (of a
// newer server's fields) after that record.
std::vector<uint8_t> Patched(std::vector<uint8_t> body, uint32_t length, size_t extra = 0) {
    StoreBigEndian32(body.data() + 12, length);
    body.insert(body.begin() + 12 + 46, extra, 0xFF);
    return body;
}

TEST(RespNewMess, PacketOutcomes) {
    FixedClock clock(kNow);
    LineCapture capture;
    using Outcome = std::tuple<std::string, int32_t, uint32_t, uint32_t, int32_t, int32_t>;
    const struct { const char *what, *name; std::vector<uint8_t> body; Outcome outcome; } cases[] = {
        {"no records", "RESPNEWMESS", Words({0, 5, 0, 30}), {"nMessageCount == 0", 0, 5, 30, 0, 0}},
        {"status 3, garbage after", "RESPNEWMESS", {0, 0, 0, 3, 0xDE, 0xAD}, {"error2", 3, 0, 0, 0, 0}},
        {"error packet", "RESPERROR", Words({7}), {"error2", 7, 0, 0, 0, 0}},
        {"error packet with code 0", "RESPERROR", Words({0}), {"threw error3", 0, 0, 0, 0, 0}},
        {"huge record length", "RESPNEWMESS", Patched(Many(1, 1), 0xFFFFFFF0), {"threw error35", 0, 9, 0, 1, 1}},
        {"over 100 reads 20", "RESPNEWMESS", Many(20, 101), {"CShowDataList AddOneShowData", 0, 9, 44, 20, 0}},
        {"100 reads 100", "RESPNEWMESS", Many(100, 100), {"CShowDataList AddOneShowData", 0, 9, 44, 100, 0}},
        {"negative count reads none", "RESPNEWMESS", Many(0, -1), {"", 0, 9, 44, 0, 0}},
        {"longer record, tail skipped", "RESPNEWMESS", Patched(Many(2, 2), 54, 8), {"CShowDataList AddOneShowData", 0, 9, 44, 2, 1}},
        {"zero record length", "RESPNEWMESS", Patched(Many(1, 2), 0), {"CShowDataList AddOneShowData", 0, 9, 0, 1, 2}},
    };
    for (const auto& c : cases) {
        CShowDataList store;
        CRespNewMess response(&store);
        const std::string line = Decode(response, Packet(c.name, c.body));
        EXPECT_EQ(Outcome(line, response.GetResultCode(), response.GetLastTime(), response.GetPanelInterval(),
                          store.GetShowDataCount(), LineCapture::Count("struct change !!!!!!!!!!!!!!!!")),
                  c.outcome) << c.what;
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

TEST(RespNewMess, EveryTextLimitAtItsEdge) {
    LineCapture capture;
    struct Limit { const char *field; size_t longest; const char* refusal; };
    CRespNewMess response(nullptr);
    for (const Limit f : {Limit{"picture", 1024, "error13"}, {"text", 100, "error16"}, {"link", 1024, "error19"},
                          {"caption", 20, "error24"}, {"action", 20, "error27"}, {"url", 1024, "error30"},
                          {"title", 40, "error34"}, {"buttons", 3, "error21"}}) {
        for (const size_t length : {f.longest, f.longest + 1}) {
            EXPECT_EQ(Decode(response, Packet("RESPNEWMESS", OneRecord(f.field, length))),
                      length == f.longest ? "Recv one Data ,AddWaitPicData" : std::string("threw ") + f.refusal)
                << f.field << " " << length;
        }
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
        EXPECT_EQ(response.GetPanelInterval(), 0u) << cut;
    }
    EXPECT_EQ(fieldEnd, body.size());
}

// Tips 1..8 with id % 4 buttons (tip 8: a count of -1, meaning none) and a
// picture when the id is odd; tips 5..8 fill every text to the brim of its
// field (no NUL), the others a few bytes. They decode to the same bytes, and
// only those with a picture wait for it.
TEST(TipWire, WrittenRecordsDecodeToTheSameBytes) {
    FixedClock clock(kNow);
    std::vector<std::unique_ptr<TipRecord>> sent;
    std::vector<const TipRecord*> tips;
    for (uint32_t id = 1; id <= 8; ++id) {
        sent.push_back(MakeTip(id, kNow - 1, kNow + 1, ""));
        TipRecord& tip = *sent.back();
        auto fill = [&](auto& field, int c) { std::memset(field, c, id > 4 ? sizeof field : id + 2); };
        fill(tip.szText, 't'), fill(tip.szLinkURL, 'l'), fill(tip.szTitle, 'h');
        if (id % 2) fill(tip.szPicture, 'p');
        tip.bPicReady = id % 2 ? 0 : 1;  // the decoder's flag: no picture to wait for
        tip.nButtonCount = id == 8 ? -1 : int32_t(id % 4);
        for (int k = 0; k < tip.nButtonCount; ++k) {
            fill(tip.aButtons[k].szCaption, 'A' + k), fill(tip.aButtons[k].szAction, 'a'), fill(tip.aButtons[k].szURL, 'u');
        }
        tip.byStyle = uint8_t(id * 37), tip.nShowSeconds = -int32_t(id), tip.byShowFirst = uint8_t(id % 3);
        tips.push_back(&tip);
    }
    CShowDataList store;
    const auto packet = Packet("RESPNEWMESS", wire::ResponseBody(5, tips, 9));
    CRespNewMess(&store).Decode(packet.data(), uint32_t(packet.size()));
    size_t received = 0;
    for (const bool waiting : {true, false}) {
        for (TipRecord* got; (got = waiting ? store.GetWaitPicData() : store.GetOneShowData(1)); ++received) {
            std::unique_ptr<TipRecord> owned(got);
            EXPECT_EQ(got->nMessageID % 2 == 1, waiting) << got->nMessageID;
            EXPECT_EQ(std::memcmp(got, sent.at(got->nMessageID - 1).get(), sizeof *got), 0) << got->nMessageID;
        }
    }
    EXPECT_EQ(received, sent.size());
    uint8_t small[1000];
    ByteWriter full(small, sizeof small);
    EXPECT_FALSE(AppendTipRecordWire(full, *sent[7]));
    std::vector<uint8_t> grows;
    ByteWriter roomy(grows);
    sent[0]->nButtonCount = 4;
    EXPECT_FALSE(AppendTipRecordWire(roomy, *sent[0]));
    SetFieldText(sent[1]->szTitle, std::string(60, 'y'));
    EXPECT_EQ(FieldText(sent[1]->szTitle) + char(sent[1]->byVersion), std::string(39, 'y') + char(kTipRecordVersion));
    SetFieldText(sent[1]->szTitle, "short");
    EXPECT_EQ(std::string(sent[1]->szTitle, sizeof sent[1]->szTitle), "short" + std::string(35, '\0'));
}

}  // namespace
