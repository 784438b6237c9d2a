#include "protocol/net_command.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core_test_support.h"
#include "protocol/net_response.h"
#include "protocol/query_new_mess.h"

namespace {

using coretest::Packet;

TEST(SequenceCounter, SharedByEveryCommandAndWrapsToZeroAfterTwoToTheThirty) {
    SetSequenceCounterForTest(0);
    EXPECT_EQ(CQueryNewMess().GetSequence(), 1u);
    EXPECT_EQ(CNetResponse("RESPERROR").GetSequence(), 2u);
    SetSequenceCounterForTest((1u << 30) - 1);
    for (const uint32_t next : {1u << 30, 0u, 1u}) EXPECT_EQ(CQueryNewMess().GetSequence(), next);
}

TEST(Encode, ResultCodeAsTheBodyAndNothingIntoTooSmallABuffer) {
    CNetResponse response("RESPERROR");
    response.SetResultCode(0x01020304);
    auto expected = Packet("RESPERROR", {1, 2, 3, 4});
    StoreBigEndian32(expected.data() + 4, response.GetSequence());
    for (const uint32_t room : {29u, 28u}) {
        std::vector<uint8_t> buffer(29, 0xCC);
        uint32_t length = room;
        EXPECT_EQ(response.Encode(buffer.data(), length), room == 29 ? 4u : 29u);
        EXPECT_EQ(length, room);
        EXPECT_EQ(buffer, room == 29 ? expected : std::vector<uint8_t>(29, 0xCC));
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
