#include "protocol/query_new_mess.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core_test_support.h"
#include "protocol/query_body.h"

namespace {

// The header (version, sequence, rest length, the name), then the body:
// user, edition, a reserved word, the last-time value, the message id. The
// server's reader gets every field back and refuses every cut; a user name
// with a NUL travels whole, but its log line stops at the NUL.
TEST(QueryNewMess, PacketBytesAndTheirReading) {
    coretest::LineCapture lines;
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
        uint32_t length = uint32_t(packet.size());
        query.Encode(packet.data(), length);
        ASSERT_EQ(length, 28 + c.body.size()) << c.user;
        auto expected = coretest::Packet("QUERYNEWMESS", c.body);
        StoreBigEndian32(expected.data() + 4, query.GetSequence());
        expected.push_back(0xCC);
        EXPECT_EQ(packet, expected) << c.user;
        std::vector<uint8_t> small(c.body.size() - 1, 0xCC);
        uint32_t room = uint32_t(small.size());
        EXPECT_THROW(query.EncodeBody(small.data(), room), std::runtime_error);
        EXPECT_EQ(small, std::vector<uint8_t>(c.body.size() - 1, 0xCC));

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
