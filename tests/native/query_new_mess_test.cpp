#include "protocol/query_new_mess.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "core_test_support.h"
#include "protocol/query_body.h"

namespace {

std::vector<uint8_t> EncodeWhole(CQueryNewMess& query) {
    std::vector<uint8_t> buffer(1024);
    uint32_t length = uint32_t(buffer.size());
    query.Encode(buffer.data(), length);
    buffer.resize(length);
    return buffer;
}

// The header (version, sequence, rest length, the name) and then the body:
// user, edition, a reserved word, the last-time value, the message id.
TEST(QueryNewMess, PacketBytes) {
    struct Case {
        const char* user;
        uint32_t lastTime;
        uint32_t messageId;
        std::vector<uint8_t> body;
    };
    const Case cases[] = {
        {"abc", 0, 7, {0, 0, 0, 3, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}},
        {"", 0x01020304, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        CQueryNewMess query;
        query.SetLastTime(c.lastTime, 99);
        if (c.messageId != 0) query.SetQueryParameter(c.user, "", c.messageId);
        const auto packet = EncodeWhole(query);
        ASSERT_EQ(packet.size(), 28 + c.body.size()) << c.user;
        EXPECT_EQ(LoadBigEndian32(packet.data()), 10u);
        EXPECT_EQ(LoadBigEndian32(packet.data() + 4), query.GetSequence());
        EXPECT_EQ(LoadBigEndian32(packet.data() + 8), 16 + c.body.size());
        EXPECT_EQ(LoadBigEndian32(packet.data() + 12), 12u);
        EXPECT_EQ(std::string(packet.begin() + 16, packet.begin() + 28), "QUERYNEWMESS");
        EXPECT_EQ(std::vector<uint8_t>(packet.begin() + 28, packet.end()), c.body) << c.user;
    }
}

TEST(QueryNewMess, UserNameWithANulTravelsWholeButItsLogLineStopsAtTheNul) {
    coretest::LineCapture lines;
    CQueryNewMess query;
    const std::string user("ab\0cd", 5);
    EXPECT_EQ(query.SetQueryParameter(user, "PID9", 0), 1);
    EXPECT_EQ(lines.Lines(), (std::vector<std::string>{"Query Parameter", "ab", "PID9"}));

    const auto packet = EncodeWhole(query);
    QueryFields fields;
    ASSERT_TRUE(ParseQueryBody(packet.data() + 28, packet.size() - 28, &fields));
    EXPECT_EQ(fields.userName, user);
    EXPECT_EQ(fields.pid, "PID9");
}

TEST(QueryNewMess, BodyEncoderThrowsBeforeWritingWhenRoomIsShort) {
    CQueryNewMess query;
    query.SetQueryParameter("abc", "", 7);
    std::vector<uint8_t> body(22, 0xCC);
    uint32_t room = uint32_t(body.size());
    try {
        query.EncodeBody(body.data(), room);
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "error");
    }
    EXPECT_EQ(room, 22u);
    for (uint8_t b : body) ASSERT_EQ(b, 0xCC);
}

TEST(ParseQueryBody, ReadsEveryFieldAndRefusesEveryCut) {
    CQueryNewMess query;
    query.SetLastTime(1234, 0);
    query.SetQueryParameter("someone", "ED2", 42);
    const auto packet = EncodeWhole(query);
    const std::vector<uint8_t> body(packet.begin() + 28, packet.end());

    QueryFields fields;
    ASSERT_TRUE(ParseQueryBody(body.data(), body.size(), &fields));
    EXPECT_EQ(fields.userName, "someone");
    EXPECT_EQ(fields.pid, "ED2");
    EXPECT_EQ(fields.reserved, 0u);
    EXPECT_EQ(fields.lastTime, 1234u);
    EXPECT_EQ(fields.messageId, 42u);

    for (size_t cut = 0; cut < body.size(); ++cut) {
        QueryFields untouched;
        untouched.messageId = 5;
        EXPECT_FALSE(ParseQueryBody(body.data(), cut, &untouched)) << cut;
        EXPECT_EQ(untouched.messageId, 5u);
    }

    auto lying = body;
    StoreBigEndian32(lying.data(), 0xFFFFFFF0);  // user name "longer" than the body
    EXPECT_FALSE(ParseQueryBody(lying.data(), lying.size(), &fields));
}

}  // namespace
