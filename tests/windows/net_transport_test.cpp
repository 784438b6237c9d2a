// The TCP transport against loopback servers that misbehave on request.
#include <gtest/gtest.h>

#include <vector>

#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "protocol/tcp_socket_win.h"
#include "support/loopback_server.h"
#include "support/tips_answer.h"

namespace {

constexpr uint32_t kCapacity = 262144;

TEST(NetDottedAddress, FourGroupsOfDigitsOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"10.1.2.3", true}, {"999.1.1.1", true}, {"10.1.2", false},   {"10..2.3", false},    {"1.2.3.4.5", false},
        {" 1.2.3.4", false}, {"1.2.3.4.", false}, {"", false},        {"1.2.3.4a", false},   {"localhost", false},
        {"1.2.3.-4", false}, {nullptr, false},
    };
    for (const auto& [host, dotted] : cases) EXPECT_EQ(IsDottedAddress(host), dotted) << (host ? host : "null");
}

// One exchange as the query cycle runs it; the response keeps no tips. A
// closed, hanging, refusing or cut-off server: the query-cycle tests.
struct Outcome {
    int connect = -9, sent = 0;
    uint32_t received = 0;
    int32_t result = -1;
    uint32_t interval = 0;
    std::string Text() const {
        return std::to_string(connect) + " " + std::to_string(sent) + " " + std::to_string(received) + " " +
               std::to_string(result) + " " + std::to_string(interval);
    }
};
Outcome Exchange(const char* host, uint16_t port, CQueryNewMess& query) {
    Outcome o;
    CRespNewMess response(nullptr);
    std::vector<uint8_t> buffer(kCapacity);
    CTcpSocket socket(nullptr);
    if ((o.connect = socket.Connect(host, port)) != 0) return o;
    if ((o.sent = SendCommand(socket, query, buffer.data(), kCapacity)) == 0) return o;
    o.received = ReceiveAll(socket, buffer.data(), kCapacity);
    response.Decode(buffer.data(), o.received);
    o.result = response.GetResultCode();
    o.interval = response.GetPanelInterval();
    return o;
}

TEST(NetTransport, EachServerBehaviourEndsTheExchangeAsItShould) {
    WSADATA data;
    WSAStartup(0x0102, &data);
    const std::string answer = NewTipsAnswer(0, 5, {}, 30);
    const uint32_t whole = uint32_t(answer.size());
    const struct {
        TipsFault fault;
        const char* host;
        bool hugeQuery;
        Outcome expected;
    } cases[] = {
        {TipsFault::kAnswer, "127.0.0.1", false, {0, 1, whole, 0, 30}},
        {TipsFault::kSegments, "127.0.0.1", false, {0, 1, whole, 0, 30}},  // gathered before decoding
        {TipsFault::kOversize, "127.0.0.1", false, {0, 1, kCapacity, 0, 30}},  // cut at the buffer
        {TipsFault::kAnswer, "localhost", false, {0, 1, whole, 0, 30}},
        {TipsFault::kAnswer, "127.0.0.1", true, {0, 0, 0, -1, 0}},  // too big for the buffer: nothing sent
        {TipsFault::kRefuse, "no-such-host.invalid", false, {-1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " fault " + std::to_string(int(c.fault)));
        LoopbackTipsServer server(c.fault, answer);
        CQueryNewMess query;
        query.SetLastTime(77, 0);
        query.SetQueryParameter(c.hugeQuery ? std::string(kCapacity - 40, 'u') : "abc", "pid9", 7);
        const Outcome o = Exchange(c.host, server.Port(), query);
        EXPECT_EQ(o.Text(), c.expected.Text());
        if (c.fault == TipsFault::kAnswer && c.expected.sent == 1) EXPECT_TRUE(ReadQuery(server.WaitForQuery(2000)).ok);
        if (c.hugeQuery) EXPECT_EQ(server.WaitForQuery(2000), "") << "the connection ended without a byte";
    }
    WSACleanup();
}

}  // namespace
