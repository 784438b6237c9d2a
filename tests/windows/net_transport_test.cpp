// The TCP transport against loopback servers that misbehave on request.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/handles.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "protocol/tcp_socket_win.h"
#include "support/loopback_server.h"
#include "support/tips_answer.h"

namespace {

constexpr uint32_t kCapacity = 262144;

TEST(NetDottedAddress, FourGroupsOfDigitsOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"10.1.2.3", true},  {"127.0.0.1", true}, {"999.1.1.1", true},  {"0.0.0.0", true},    {"10.1.2", false},
        {"10..2.3", false},  {"1.2.3.4.5", false}, {" 1.2.3.4", false}, {"1.2.3.4.", false},  {".1.2.3", false},
        {"1.2.3.", false},   {"", false},         {"a.b.c.d", false},   {"1.2.3.4a", false},  {"localhost", false},
        {"1.2.3.-4", false}, {nullptr, false},
    };
    for (const auto& [host, dotted] : cases) EXPECT_EQ(IsDottedAddress(host), dotted) << (host ? host : "null");
}

// One exchange as the query cycle runs it; the response keeps no tips.
struct Outcome {
    int connect = -9, sent = 0;
    uint32_t received = 0;
    int32_t result = -1;
    uint32_t interval = 0;
};
Outcome Exchange(const char* host, uint16_t port, CQueryNewMess& query, HANDLE abandon = nullptr) {
    Outcome o;
    CRespNewMess response(nullptr);
    std::vector<uint8_t> buffer(kCapacity);
    CTcpSocket socket(abandon);
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
        {TipsFault::kCloseAtOnce, "127.0.0.1", false, {0, 1, 0, -1, 0}},
        {TipsFault::kHang, "127.0.0.1", false, {0, 1, 0, -1, 0}},  // the abandon event ends the wait
        {TipsFault::kAnswer, "localhost", false, {0, 1, whole, 0, 30}},
        {TipsFault::kAnswer, "127.0.0.1", true, {0, 0, 0, -1, 0}},  // too big for the buffer: nothing sent
        {TipsFault::kRefuse, "no-such-host.invalid", false, {-1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " fault " + std::to_string(int(c.fault)));
        LoopbackTipsServer server(c.fault, answer);
        const handles::Kernel abandon(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        std::thread stopper([&] {
            if (c.fault == TipsFault::kHang) server.WaitForQuery(5000);
            SetEvent(abandon.get());
        });
        if (c.fault != TipsFault::kHang) stopper.join();
        CQueryNewMess query;
        query.SetLastTime(77, 0);
        query.SetQueryParameter(c.hugeQuery ? std::string(kCapacity - 40, 'u') : "abc", "pid9", 7);
        const Outcome o = Exchange(c.host, server.Port(), query, c.fault == TipsFault::kHang ? abandon.get() : nullptr);
        if (stopper.joinable()) stopper.join();
        EXPECT_EQ(o.connect, c.expected.connect);
        EXPECT_EQ(o.sent, c.expected.sent);
        EXPECT_EQ(o.received, c.expected.received);
        EXPECT_EQ(o.result, c.expected.result);
        EXPECT_EQ(o.interval, c.expected.interval);
        if (c.fault == TipsFault::kAnswer && c.expected.sent == 1) EXPECT_TRUE(ReadQuery(server.WaitForQuery(2000)).ok);
        if (c.hugeQuery) EXPECT_EQ(server.WaitForQuery(2000), "") << "the connection ended without a byte";
    }
    LoopbackTipsServer refusing(TipsFault::kRefuse);
    CQueryNewMess query;
    EXPECT_NE(Exchange("127.0.0.1", refusing.Port(), query).connect, 0);
    TipRecord tip = MakeTip(5, "hello");
    LoopbackTipsServer cut(TipsFault::kCutOff, NewTipsAnswer(0, 3, {tip, tip}, 20));
    EXPECT_ANY_THROW(Exchange("127.0.0.1", cut.Port(), query)) << "a cut-off answer fails in the decoder";
    WSACleanup();
}

}  // namespace
