#include "protocol/resp_new_mess.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core_test_support.h"
#include "store/show_data_list.h"

namespace {

using coretest::LineCapture;
using coretest::Packet;
using coretest::Words;

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
    auto tip = coretest::MakeTip(0, kNow - 1, kNow + 100);
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
    coretest::FixedClock clock(kNow);
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

}  // namespace
