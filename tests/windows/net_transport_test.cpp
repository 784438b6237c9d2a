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

// One exchange as the query cycle runs it: "connect sent received result
// interval". A closed, hanging, refusing or cut-off server: the query-cycle tests.
std::string Exchange(const char* host, uint16_t port, CQueryNewMess& query) {
    CRespNewMess response(nullptr);
    std::vector<uint8_t> buffer(kCapacity);
    CTcpSocket socket(nullptr);
    if (const int connect = socket.Connect(host, port)) return std::to_string(connect);
    if (SendCommand(socket, query, buffer.data(), kCapacity) == 0) return "0 0";
    const uint32_t received = ReceiveAll(socket, buffer.data(), kCapacity);
    response.Decode(buffer.data(), received);
    return "0 1 " + std::to_string(received) + " " + std::to_string(response.GetResultCode()) + " " +
           std::to_string(response.GetPanelInterval());
}

TEST(NetTransport, EachServerBehaviourEndsTheExchangeAsItShould) {
    WSADATA data;
    WSAStartup(0x0102, &data);
    const std::string answer = NewTipsAnswer(0, 5, {}, 30);
    const std::string whole = "0 1 " + std::to_string(answer.size()) + " 0 30";
    const struct {
        TipsFault fault;
        const char* host;
        bool hugeQuery;
        std::string expected;
    } cases[] = {
        {TipsFault::kAnswer, "127.0.0.1", false, whole},
        {TipsFault::kSegments, "127.0.0.1", false, whole},  // gathered before decoding
        {TipsFault::kOversize, "127.0.0.1", false, "0 1 262144 0 30"},  // cut at the buffer
        {TipsFault::kAnswer, "localhost", false, whole},
        {TipsFault::kAnswer, "127.0.0.1", true, "0 0"},  // too big for the buffer: nothing sent
        {TipsFault::kRefuse, "no-such-host.invalid", false, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " fault " + std::to_string(int(c.fault)));
        LoopbackTipsServer server(c.fault, answer);
        CQueryNewMess query;
        query.SetLastTime(77, 0);
        query.SetQueryParameter(c.hugeQuery ? std::string(kCapacity - 40, 'u') : "abc", "pid9", 7);
        EXPECT_EQ(Exchange(c.host, server.Port(), query), c.expected);
        EXPECT_EQ(ReadQuery(server.WaitForQuery(2000)).ok, !c.hugeQuery && c.fault != TipsFault::kRefuse);
    }
    WSACleanup();
}

}  // namespace
