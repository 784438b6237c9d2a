#include "protocol/net_command.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core_test_support.h"
#include "protocol/net_response.h"
#include "protocol/query_body.h"
#include "protocol/query_new_mess.h"

namespace {

using wire::Packet;

TEST(SequenceCounter, SharedByEveryCommandAndWrapsToZeroAfterTwoToTheThirty) {
    SetSequenceCounterForTest(0);
    EXPECT_EQ(CQueryNewMess().GetSequence(), 1u);
    EXPECT_EQ(CNetResponse("RESPERROR").GetSequence(), 2u);
    SetSequenceCounterForTest((1u << 30) - 1);
    for (const uint32_t next : {1u << 30, 0u, 1u}) EXPECT_EQ(CQueryNewMess().GetSequence(), next);
}

// The header (version, sequence, rest length, the name), then the body:
// user, edition, a reserved word, the last-time value, the message id; a
// buffer a byte short gets nothing. The server's reader gets every field back
// and refuses every cut; a user name with a NUL travels whole, but its log
// line stops at the NUL.
TEST(QueryNewMess, PacketBytesAndTheirReading) {
    LineCapture lines;
    struct Case { std::string user, pid; uint32_t lastTime, messageId; std::vector<uint8_t> body; };
    const Case cases[] = {
        {"abc", "", 0, 7, {0, 0, 0, 3, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}},
        {"", "E", 0x01020304, 0, {0, 0, 0, 0, 0, 0, 0, 1, 'E', 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0}},
        {std::string("a\0b", 3), "", 0, 0, {0, 0, 0, 3, 'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        CQueryNewMess query;
        query.SetLastTime(c.lastTime, 99);
        lines.Clear();
        EXPECT_EQ(query.SetQueryParameter(c.user, c.pid, c.messageId), 1);
        EXPECT_EQ(lines.Lines(), (std::vector<std::string>{"Query Parameter", c.user.c_str(), c.pid}));
        std::vector<uint8_t> packet(28 + c.body.size() + 1, 0xCC);
        uint32_t length = uint32_t(packet.size() - 2);
        EXPECT_EQ(query.Encode(packet.data(), length), packet.size() - 1) << "a byte short: the room it needs";
        EXPECT_EQ(packet, std::vector<uint8_t>(packet.size(), 0xCC));
        length = uint32_t(packet.size());
        query.Encode(packet.data(), length);
        ASSERT_EQ(length, 28 + c.body.size()) << c.user;
        auto expected = Packet("QUERYNEWMESS", c.body);
        StoreBigEndian32(expected.data() + 4, query.GetSequence());
        expected.push_back(0xCC);
        EXPECT_EQ(packet, expected) << c.user;
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

TEST(Decode, HeaderRulesDecideWhetherTheBodyIsRead) {
    const auto good = Packet("RESPNEWMESS", {0, 0, 0, 5});
    auto word = [&](size_t at, uint32_t value) {
        auto bytes = good;
        return StoreBigEndian32(bytes.data() + at, value), bytes;
    };
    using Outcome = std::tuple<int32_t, uint32_t, uint32_t>;  // result code, version, sequence
    const struct { const char* what; std::vector<uint8_t> packet; Outcome outcome; } cases[] = {
        {"own name", word(4, 77), {5, 10, 77}},
        {"error packet", Packet("RESPERROR", {0, 0, 0, 5}), {5, 10, 1}},
        {"empty body", Packet("RESPNEWMESS", {}), {-1, 10, 1}},
        {"version 9", word(0, 9), {-1, 9, 0}},
        {"version 11", word(0, 11), {-1, 11, 0}},
        {"first four letters of the name", Packet("RESP", {0, 0, 0, 5}), {-1, 10, 1}},
        {"name with one more letter", Packet("RESPNEWMESSX", {0, 0, 0, 5}), {-1, 10, 1}},
        {"other name of the same length", Packet("RESPNEWMESZ", {0, 0, 0, 5}), {-1, 10, 1}},
        {"wrong rest length is not looked at", word(8, 999999), {5, 10, 1}},
        {"name longer than the data", word(12, 0xFFFFFFFF), {-1, 10, 1}},
        {"version only", {0, 0, 0, 10}, {-1, 10, 0}},
        {"cut inside the name", {good.begin(), good.begin() + 20}, {-1, 10, 1}},
    };
    for (const auto& c : cases) {
        SetSequenceCounterForTest(uint32_t(-1));  // the response's own number: 0
        CNetResponse response("RESPNEWMESS");
        response.Decode(c.packet.data(), uint32_t(c.packet.size()));
        EXPECT_EQ(Outcome(response.GetResultCode(), response.GetVersion(), response.GetSequence()), c.outcome) << c.what;
    }
}

}  // namespace
