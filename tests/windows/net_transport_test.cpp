// The TCP transport against loopback servers that misbehave on request.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "protocol/tcp_socket_win.h"
#include "support/loopback_tips_server.h"
#include "support/tips_answer.h"

namespace {

constexpr uint32_t kCapacity = 262144;

TEST(NetDottedAddress, FourGroupsOfDigitsOnly) {
    struct Case {
        const char* host;
        bool dotted;
    };
    const Case cases[] = {
        {"10.1.2.3", true},   {"127.0.0.1", true},  {"999.1.1.1", true},  {"0.0.0.0", true},
        {"10.1.2", false},    {"10..2.3", false},   {"1.2.3.4.5", false}, {" 1.2.3.4", false},
        {"1.2.3.4.", false},  {".1.2.3", false},    {"1.2.3.", false},    {"", false},
        {"a.b.c.d", false},   {"1.2.3.4a", false},  {"localhost", false}, {"1.2.3.-4", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsDottedAddress(c.host), c.dotted) << '"' << c.host << '"';
    EXPECT_FALSE(IsDottedAddress(nullptr));
}

class NetTransport : public testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        WSAStartup(0x0102, &data);
    }
    void TearDown() override { WSACleanup(); }

    // One exchange as the query cycle runs it; the response keeps no tips.
    struct Outcome {
        int connect = 0;
        int sent = 0;
        uint32_t received = 0;
        int32_t result = -1;
        uint32_t lastTime = 0;
        uint32_t interval = 0;
    };
    Outcome Exchange(const char* host, uint16_t port, HANDLE abandon = nullptr) {
        Outcome o;
        CQueryNewMess query;
        query.SetLastTime(77, 0);
        query.SetQueryParameter("abc", "pid9", 7);
        CRespNewMess response(nullptr);
        std::vector<uint8_t> buffer(kCapacity);
        CTcpSocket socket(abandon);
        o.connect = socket.Connect(host, port);
        if (o.connect != 0) return o;
        o.sent = SendCommand(socket, query, buffer.data(), kCapacity);
        o.received = kCapacity;
        RecvCommand(socket, response, buffer.data(), o.received);
        o.result = response.GetResultCode();
        o.lastTime = response.GetLastTime();
        o.interval = response.GetPanelInterval();
        return o;
    }
};

TEST_F(NetTransport, TheQueryArrivesWholeAndTheAnswerIsDecoded) {
    const std::string answer = NewTipsAnswer(0, 5, {}, 30);
    LoopbackTipsServer server(TipsFault::kAnswer, answer);
    const Outcome o = Exchange("127.0.0.1", server.Port());
    ASSERT_EQ(o.connect, 0);
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.received, answer.size());
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.lastTime, 5u);
    EXPECT_EQ(o.interval, 30u);

    const ReceivedQuery q = ReadQuery(server.WaitForQuery(2000));
    ASSERT_TRUE(q.ok);
    EXPECT_EQ(q.version, 10u);
    EXPECT_EQ(q.restLength, 4 + 12 + 3 + 4 + 4 + 4 + 4 + 4 + 4u);
    EXPECT_EQ(q.name, "QUERYNEWMESS");
    EXPECT_EQ(q.userName, "abc");
    EXPECT_EQ(q.pid, "pid9");
    EXPECT_EQ(q.reserved, 0u);
    EXPECT_EQ(q.lastTime, 77u);
    EXPECT_EQ(q.messageId, 7u);
}

TEST_F(NetTransport, AnAnswerInThreeSegmentsIsGatheredBeforeDecoding) {
    const std::string answer = NewTipsAnswer(0, 9, {}, 12);
    LoopbackTipsServer server(TipsFault::kSegments, answer);
    const Outcome o = Exchange("127.0.0.1", server.Port());
    EXPECT_EQ(o.received, answer.size());
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.lastTime, 9u);
    EXPECT_EQ(o.interval, 12u);
}

TEST_F(NetTransport, AnOversizeAnswerIsCutAtTheBuffer) {
    LoopbackTipsServer server(TipsFault::kOversize, NewTipsAnswer(0, 3, {}, 20));
    const Outcome o = Exchange("127.0.0.1", server.Port());
    EXPECT_EQ(o.received, kCapacity);
    EXPECT_EQ(o.result, 0) << "bytes after the interval are ignored";
    EXPECT_EQ(o.interval, 20u);
}

TEST_F(NetTransport, AConnectionClosedAtOnceDecodesNothing) {
    LoopbackTipsServer server(TipsFault::kCloseAtOnce);
    const Outcome o = Exchange("127.0.0.1", server.Port());
    ASSERT_EQ(o.connect, 0);
    EXPECT_EQ(o.received, 0u);
    EXPECT_EQ(o.result, -1);
}

TEST_F(NetTransport, ACutOffAnswerFailsInTheDecoder) {
    TipRecord tip = MakeTip(5, "hello");
    LoopbackTipsServer server(TipsFault::kCutOff, NewTipsAnswer(0, 3, {tip, tip}, 20));
    EXPECT_ANY_THROW(Exchange("127.0.0.1", server.Port()));
}

TEST_F(NetTransport, RefusedAndUnresolvableHostsFailToConnect) {
    LoopbackTipsServer refusing(TipsFault::kRefuse);
    EXPECT_NE(Exchange("127.0.0.1", refusing.Port()).connect, 0);
    EXPECT_EQ(Exchange("no-such-host.invalid", refusing.Port()).connect, -1);
}

TEST_F(NetTransport, AHostNameIsLookedUp) {
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 1, {}, 1));
    const Outcome o = Exchange("localhost", server.Port());
    EXPECT_EQ(o.connect, 0);
    EXPECT_EQ(o.result, 0);
}

TEST_F(NetTransport, AQueryThatDoesNotFitTheBufferSendsNothing) {
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 1, {}, 1));
    {
        CQueryNewMess query;
        query.SetQueryParameter(std::string(kCapacity - 40, 'u'), std::string(), 0);
        std::vector<uint8_t> buffer(kCapacity);
        CTcpSocket socket;
        ASSERT_EQ(socket.Connect("127.0.0.1", server.Port()), 0);
        EXPECT_EQ(SendCommand(socket, query, buffer.data(), kCapacity), 0);
    }
    // The server saw the connection end without a single byte.
    EXPECT_EQ(server.WaitForQuery(2000), "");
    EXPECT_EQ(server.Queries(), std::vector<std::string>{""});
}

TEST_F(NetTransport, TheAbandonEventEndsAWaitOnAHangingServer) {
    LoopbackTipsServer server(TipsFault::kHang);
    HANDLE abandon = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread stopper([&] {
        server.WaitForQuery(5000);
        SetEvent(abandon);
    });
    const Outcome o = Exchange("127.0.0.1", server.Port(), abandon);
    stopper.join();
    CloseHandle(abandon);
    EXPECT_EQ(o.connect, 0);
    EXPECT_EQ(o.received, 0u);
    EXPECT_EQ(o.result, -1);
}

}  // namespace
