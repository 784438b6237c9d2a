// Both ports on loopback: good, malformed and hostile clients each end as
// they should and are counted, and none holds up a good client.
#include "catalogue_source.h"
#include "http_server.h"
#include "protocol/byte_order.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "server_test_support.h"
#include "tips_server.h"

namespace {

using servertest::Socket;
using servertest::WaitFor;
using tipserver::QueryOutcome;

std::string QueryPacket(const std::string& user) {
    CQueryNewMess query;
    query.SetQueryParameter(user, "P1", 0);
    std::string packet(query.GetPacketLength(), '\0');
    uint32_t size = static_cast<uint32_t>(packet.size());
    query.Encode(reinterpret_cast<uint8_t*>(packet.data()), size);
    return packet;
}

// Connections that send nothing, or `start` each second one, to hold a port at its cap.
std::vector<std::unique_ptr<Socket>> Stalled(uint16_t port, int count, const std::string& start) {
    std::vector<std::unique_ptr<Socket>> stalled;
    for (int i = 0; i < count; ++i) {
        stalled.push_back(std::make_unique<Socket>(port));
        if (i % 2 == 0) stalled.back()->Send(start);
    }
    return stalled;
}

TEST(ServerAttack, EachQueryClientEndsAsItShouldAndNoneHoldsUpOthers) {
    servertest::LogFile log;
    std::ofstream(log.folder.File("c.json")) << servertest::CatalogueJson({servertest::Tip(1), servertest::Tip(2)}, 15);
    tipserver::CatalogueSource source(log.folder.File("c.json"), tipserver::CatalogueOptions(), log.sink);
    std::vector<tipserver::CatalogueProblem> problems;
    ASSERT_TRUE(source.LoadInitial(problems));
    tipserver::TipsServerConfig config;
    config.port = 0;
    config.threads = 2;
    config.max_connections = 20;
    config.query_timeout = std::chrono::seconds(3);
    tipserver::TipsServer server(config, source, log.sink, log.trouble);
    std::string error;
    ASSERT_TRUE(server.Bind(error)) << error;
    server.Start();
    config.port = server.LocalPort();  // busy now
    EXPECT_FALSE(tipserver::TipsServer(config, source, log.sink, log.trouble).Bind(error));
    EXPECT_NE(error.find("cannot listen on 127.0.0.1:"), std::string::npos) << error;

    // Silent clients and half queries at the cap: the first row's client makes the oldest go, and
    // they wait for their deadline while every row is served.
    auto stalled = Stalled(server.LocalPort(), 20, QueryPacket("slow").substr(0, 20));
    ASSERT_TRUE(WaitFor([&] { return server.OpenConnections() == 20; }));
    std::string misnamed = QueryPacket("eve"), huge(12, 'A');
    misnamed[16] = 'X';  // "XUERYNEWMESS"
    StoreBigEndian32(reinterpret_cast<uint8_t*>(huge.data()), 10);
    StoreBigEndian32(reinterpret_cast<uint8_t*>(huge.data()) + 8, 1 << 20);  // the length it announces
    const struct {  // bytes sent in chunks of 7; the answer's code (-1: none), outcome, and a part of the log
        std::string bytes;
        int code;
        QueryOutcome outcome;
        const char* logged;
    } rows[] = {
        {QueryPacket("alice"), 0, QueryOutcome::kAnswered,
         "user=\"alice\" pid=\"P1\" last_time=0 message_id=0 tips=2 answer_last_time="},
        {QueryPacket("junk") + std::string(4096, 'J'), 0, QueryOutcome::kAnswered, " junk_after_query=4096"},
        {"GET / HTTP/1.0\r\n\r\n", 1, QueryOutcome::kErrorAnswer, "unreadable="},
        {misnamed, 1, QueryOutcome::kErrorAnswer, "top_peers=127.0.0.1("},
        {huge, -1, QueryOutcome::kRefusedFraming, "too_large="},
        {QueryPacket("x").substr(0, 10), -1, QueryOutcome::kClosedEarly, "closed_early="},
    };
    for (const auto& row : rows) {
        const uint64_t before = server.Totals().outcomes[size_t(row.outcome)];
        std::string answer;
        {
            Socket client(server.LocalPort());
            for (size_t at = 0; at < row.bytes.size(); at += 7) client.Send(row.bytes.substr(at, 7));
            if (row.outcome != QueryOutcome::kClosedEarly) answer = client.ReadUntilClosed();
        }
        CShowDataList store;
        CRespNewMess response(&store);
        response.Decode(reinterpret_cast<const uint8_t*>(answer.data()), uint32_t(answer.size()));
        const int code = answer.empty() ? -1 : response.GetResultCode();  // with both tips and the interval of 15
        EXPECT_EQ(std::make_pair(code, store.GetShowDataCount() + response.GetPanelInterval()),
                  std::make_pair(row.code, row.code == 0 ? 17u : 0u)) << row.logged;
        if (row.code >= 0 && row.bytes[0] != 'G')  // the query's sequence echoed; "GET / H" is refused before it
            EXPECT_EQ(response.GetSequence(), LoadBigEndian32(reinterpret_cast<const uint8_t*>(row.bytes.data()) + 4));
        EXPECT_TRUE(WaitFor([&] {
            return server.Totals().outcomes[size_t(row.outcome)] == before + 1 && server.OpenConnections() == 19;
        })) << row.logged;
        EXPECT_TRUE(log.Has(row.logged)) << row.logged << ": " << log.Text();
    }
    EXPECT_EQ(std::make_pair(server.Totals().tips_sent, server.Totals().refused_at_cap), std::make_pair(uint64_t(4), uint64_t(1)));
    size_t open = 0, quiet = 0;
    for (auto& s : stalled) open += s->StillOpen();
    for (auto& s : stalled) quiet += s->ReadUntilClosed().empty();
    EXPECT_EQ(std::make_pair(open, quiet), std::make_pair(size_t(19), size_t(20)));
    EXPECT_TRUE(WaitFor([&] { return server.Totals().outcomes[size_t(QueryOutcome::kTimedOut)] == 20; }));  // one evicted
    EXPECT_TRUE(log.Has("timed_out="));
}

TEST(ServerAttack, PicturePortBoundsWhatARequestCosts) {
    servertest::LogFile log;
    tipserver::HttpServerConfig config;
    config.name = "picture";
    config.max_connections = 8;
    config.request_timeout = config.idle_timeout = std::chrono::seconds(3);
    tipserver::HttpReply reply;
    reply.text = std::string(100 * 1024, 'P');
    tipserver::HttpServer server(config, [&](const std::string&) { return reply; }, log.sink, log.trouble);
    std::string error;
    ASSERT_TRUE(server.Bind(error)) << error;
    server.Start();
    std::string ranges = "Range: bytes=0-0";  // many ranges: the whole body once
    for (int i = 1; i < 900; ++i) ranges += "," + std::to_string(i) + "-" + std::to_string(i);
    const std::string whole = servertest::HttpGet(server.LocalPort(), "/a.gif", ranges + "\r\n");
    EXPECT_TRUE(whole.rfind("HTTP/1.1 200 OK\r\n", 0) == 0 && whole.size() - whole.find("\r\n\r\n") - 4 == reply.text.size());
    {  // endless header lines: cut off at the header limit, long before 64 MiB
        Socket client(server.LocalPort());
        size_t sent = 0;
        client.Send("GET /a.gif HTTP/1.1\r\n");
        while (sent < (64u << 20) && client.Send("X-Filler: " + std::string(90, 'f') + "\r\n")) sent += 102;
        EXPECT_LT(sent, 64u << 20);
    }
    // Slow and idle connections at the cap: a download is still served (the
    // longest waiting makes way), and they are dropped at their deadline.
    auto stalled = Stalled(server.LocalPort(), 8, "GET /a.gif HTTP/1.1\r\nX: ");
    EXPECT_TRUE(WaitFor([&] { return tipserver::Read(server.Counters().open) == 8; }));
    EXPECT_EQ(servertest::HttpGet(server.LocalPort(), "/a.gif").rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(tipserver::Read(server.Counters().refused_at_cap), 1u);
    size_t open = 0;
    for (auto& s : stalled) open += s->StillOpen();
    EXPECT_EQ(open, 7u);
    for (auto& s : stalled) s->ReadUntilClosed();
    EXPECT_TRUE(log.Has("picture_timed_out="));  // a connection is counted just after it is closed
    EXPECT_TRUE(log.Has("picture_evicted_at_cap=1") && log.Has("picture_malformed=1")) << log.Text();  // malformed: the header lines
}

// A stalled reader: lines are dropped and counted (a blocking writer hangs
// here), and the count reaches the log once it reads again.
TEST(ServerAttack, FullLogQueueDropsAndCountsInsteadOfBlocking) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto log = std::make_unique<tipserver::LogSink>(fds[1], 4096);
    for (int i = 0; i < 100000; ++i) log->Write("a line of about sixty bytes that nobody reads for now .....");
    EXPECT_GT(log->Dropped(), 0u);
    std::string out;
    std::thread reader([&] { out = servertest::ReadText("/proc/self/fd/" + std::to_string(fds[0])); });
    log->Write("last");
    log.reset();
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);
    EXPECT_TRUE(out.find("lines dropped") != std::string::npos && out.find(" last\n") != std::string::npos) << out.size();
}

}  // namespace
