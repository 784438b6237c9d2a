#include "protocol/net_command.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core_test_support.h"
#include "protocol/net_response.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "store/show_data_list.h"

namespace {

using coretest::Packet;
using coretest::Words;

TEST(SequenceCounter, StartsAtOneAndWrapsToZeroAfterTwoToTheThirty) {
    SetSequenceCounterForTest(0);
    EXPECT_EQ(CQueryNewMess().GetSequence(), 1u);
    EXPECT_EQ(CNetResponse("RESPERROR").GetSequence(), 2u);

    SetSequenceCounterForTest((1u << 30) - 1);
    EXPECT_EQ(CQueryNewMess().GetSequence(), 1u << 30);
    EXPECT_EQ(CQueryNewMess().GetSequence(), 0u);
    EXPECT_EQ(CQueryNewMess().GetSequence(), 1u);
}

TEST(Encode, ResponseWritesItsResultCodeAsTheBody) {
    CNetResponse response("RESPERROR");
    response.SetResultCode(1);
    uint8_t buffer[64];
    uint32_t length = sizeof buffer;
    EXPECT_EQ(response.Encode(buffer, length), 4u);
    ASSERT_EQ(length, 16u + 9 + 4);
    EXPECT_EQ(LoadBigEndian32(buffer), 10u);
    EXPECT_EQ(LoadBigEndian32(buffer + 4), response.GetSequence());
    EXPECT_EQ(LoadBigEndian32(buffer + 8), length - 12);
    EXPECT_EQ(LoadBigEndian32(buffer + 12), 9u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer + 16), 9), "RESPERROR");
    EXPECT_EQ(std::vector<uint8_t>(buffer + 25, buffer + 29), (std::vector<uint8_t>{0, 0, 0, 1}));
}

TEST(Encode, TooSmallABufferIsLeftUntouchedAndTheNeededLengthReturned) {
    CQueryNewMess query;
    query.SetQueryParameter("user", "pid", 3);
    const uint32_t needed = query.GetPacketLength();
    EXPECT_EQ(needed, 48u + 4 + 3);
    std::vector<uint8_t> buffer(needed - 1, 0xCC);
    uint32_t length = uint32_t(buffer.size());
    EXPECT_EQ(query.Encode(buffer.data(), length), needed);
    EXPECT_EQ(length, needed - 1);
    for (uint8_t b : buffer) ASSERT_EQ(b, 0xCC);
}

// Decoding never throws for header trouble; the result code shows whether a
// body was read.
struct HeaderCase {
    const char* what;
    std::vector<uint8_t> packet;
    int32_t resultCode;
};

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t n) {
    bytes.resize(n);
    return bytes;
}

std::vector<uint8_t> WithRestLength(std::vector<uint8_t> bytes, uint32_t rest) {
    StoreBigEndian32(bytes.data() + 8, rest);
    return bytes;
}

std::vector<uint8_t> WithNameLength(std::vector<uint8_t> bytes, uint32_t n) {
    StoreBigEndian32(bytes.data() + 12, n);
    return bytes;
}

TEST(Decode, HeaderRulesDecideWhetherTheBodyIsRead) {
    const auto body = Words({5});
    const auto good = Packet("RESPNEWMESS", body);
    const std::vector<HeaderCase> cases = {
        {"own name", good, 5},
        {"error packet", Packet("RESPERROR", body), 5},
        {"version 9", Packet("RESPNEWMESS", body, 9), -1},
        {"version 11", Packet("RESPNEWMESS", body, 11), -1},
        {"first four letters of the name", Packet("RESP", body), -1},
        {"name with one more letter", Packet("RESPNEWMESSX", body), -1},
        {"foreign name", Packet("QUERYNEWMESS", body), -1},
        {"wrong rest length is not looked at", WithRestLength(good, 999999), 5},
        {"name longer than the data", WithNameLength(good, 0xFFFFFFFF), -1},
        {"no bytes", {}, -1},
        {"version only", Cut(good, 4), -1},
        {"cut inside the sequence number", Cut(good, 7), -1},
        {"cut before the name length", Cut(good, 15), -1},
        {"cut inside the name", Cut(good, 20), -1},
    };
    for (const auto& c : cases) {
        CShowDataList store;
        CRespNewMess response(&store);
        response.Decode(c.packet.data(), uint32_t(c.packet.size()));
        EXPECT_EQ(response.GetResultCode(), c.resultCode) << c.what;
    }
}

TEST(Decode, SequenceAndVersionAreTakenFromThePacket) {
    auto packet = Packet("QUERYNEWMESS", Words({3, 0x61626300, 0, 0, 0, 7}));
    StoreBigEndian32(packet.data() + 4, 77);
    CQueryNewMess query;
    query.SetQueryParameter("me", "p", 9);
    query.Decode(packet.data(), uint32_t(packet.size()));
    EXPECT_EQ(query.GetSequence(), 77u);
    EXPECT_EQ(query.GetVersion(), 10u);
    EXPECT_EQ(query.GetUserName(), "me");  // the body is not decoded
    EXPECT_EQ(query.GetMessageID(), 9u);

    CNetResponse response("RESPERROR");
    const auto old = Packet("RESPERROR", Words({4}), 9);
    response.Decode(old.data(), uint32_t(old.size()));
    EXPECT_EQ(response.GetVersion(), 9u);
    EXPECT_EQ(response.GetResultCode(), -1);
}

}  // namespace
