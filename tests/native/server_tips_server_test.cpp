// The TCP server on loopback with real sockets: answers, refusals, and
// hostile clients that must not keep it from answering others.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "catalogue_source.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "server_test_support.h"
#include "tips_server.h"

namespace {

using servertest::Socket;
using servertest::Tip;

std::vector<uint8_t> QueryPacket(const std::string& user, const std::string& pid, uint32_t last_time,
                                 uint32_t message_id = 0) {
    CQueryNewMess query;
    query.SetLastTime(last_time, 0);
    query.SetQueryParameter(user, pid, message_id);
    std::vector<uint8_t> packet(query.GetPacketLength());
    uint32_t length = static_cast<uint32_t>(packet.size());
    query.Encode(packet.data(), length);
    return packet;
}

// A server on a free loopback port with two tips, logging into a file.
class TipsServerTest : public testing::Test {
protected:
    void SetUp() override {
        std::ofstream(folder_.File("catalogue.json"))
            << servertest::CatalogueJson({Tip(1), Tip(2)}, 15).dump();
        log_fd_ = ::open(folder_.File("server.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        log_ = std::make_unique<tipserver::LogSink>(log_fd_);
        source_ = std::make_unique<tipserver::CatalogueSource>(folder_.File("catalogue.json"),
                                                               tipserver::CatalogueOptions(), *log_);
        std::vector<tipserver::CatalogueProblem> problems;
        ASSERT_TRUE(source_->LoadInitial(problems));
    }

    void StartServer(std::chrono::milliseconds query_timeout) {
        tipserver::TipsServerConfig config;
        config.port = 0;
        config.threads = 2;
        config.query_timeout = query_timeout;
        server_ = std::make_unique<tipserver::TipsServer>(config, *source_, *log_, trouble_);
        std::string error;
        ASSERT_TRUE(server_->Bind(error)) << error;
        server_->Start();
    }

    void TearDown() override {
        server_.reset();
        log_.reset();
        ::close(log_fd_);
    }

    std::string Log() {
        log_->Flush();
        std::ifstream in(folder_.File("server.log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The server writes its line after closing: give it a moment.
    bool LogHas(const std::string& part) {
        for (int i = 0; i < 200; ++i) {
            if (Log().find(part) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Connections not answered are counted, not logged one by one.
    bool SummaryHas(const std::string& part) {
        for (int i = 0; i < 200; ++i) {
            summary_ += trouble_.TakeLine();
            if (summary_.find(part) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Asks as a client would and decodes the answer with the client's decoder.
    int32_t AskForTips(size_t& tips, uint32_t& interval) {
        Socket client(server_->LocalPort());
        EXPECT_TRUE(client.Connected());
        EXPECT_TRUE(client.Send(QueryPacket("alice", "P1", 0)));
        std::vector<uint8_t> answer;
        EXPECT_TRUE(client.ReadUntilClosed(answer));
        CShowDataList store;
        CRespNewMess response(&store);
        response.Decode(answer.data(), static_cast<uint32_t>(answer.size()));
        tips = static_cast<size_t>(store.GetShowDataCount());
        interval = response.GetPanelInterval();
        return response.GetResultCode();
    }

    coretest::ScratchFolder folder_;
    int log_fd_ = -1;
    std::unique_ptr<tipserver::LogSink> log_;
    std::unique_ptr<tipserver::CatalogueSource> source_;
    tipserver::TroubleSummary trouble_;
    std::unique_ptr<tipserver::TipsServer> server_;
    std::string summary_;
};

TEST_F(TipsServerTest, AnswersAQueryAndLogsIt) {
    StartServer(std::chrono::seconds(10));
    size_t tips = 0;
    uint32_t interval = 0;
    EXPECT_EQ(AskForTips(tips, interval), 0);
    EXPECT_EQ(tips, 2u);
    EXPECT_EQ(interval, 15u);
    ASSERT_TRUE(LogHas(" bytes="));
    const std::string log = Log();
    EXPECT_NE(log.find("query peer=127.0.0.1:"), std::string::npos) << log;
    EXPECT_NE(log.find(" user=\"alice\" pid=\"P1\" last_time=0 message_id=0 tips=2 "), std::string::npos) << log;
    EXPECT_NE(log.find(" bytes="), std::string::npos) << log;
    EXPECT_NE(log.find(" ms="), std::string::npos) << log;
}

TEST_F(TipsServerTest, QueryArrivingByteByByteIsAnswered) {
    StartServer(std::chrono::seconds(10));
    Socket client(server_->LocalPort());
    const auto packet = QueryPacket("bob", "", 0);
    for (uint8_t byte : packet) {
        ASSERT_TRUE(client.Send(&byte, 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::vector<uint8_t> answer;
    ASSERT_TRUE(client.ReadUntilClosed(answer));
    CRespNewMess response(nullptr);
    response.Decode(answer.data(), static_cast<uint32_t>(answer.size()));
    EXPECT_EQ(response.GetResultCode(), 0);
}

TEST_F(TipsServerTest, UnreadableQueriesGetAnErrorAnswer) {
    StartServer(std::chrono::seconds(10));
    auto misnamed = QueryPacket("eve", "", 0);
    misnamed[16] = 'X';  // "XUERYNEWMESS"
    auto short_body = QueryPacket("eve", "", 0);
    StoreBigEndian32(short_body.data() + 28, 1000);  // user name longer than the packet
    const std::string http = "GET / HTTP/1.0\r\n\r\n";
    const std::vector<std::vector<uint8_t>> cases = {
        std::vector<uint8_t>(http.begin(), http.end()), misnamed, short_body};
    for (const auto& bytes : cases) {
        Socket client(server_->LocalPort());
        ASSERT_TRUE(client.Send(bytes));
        std::vector<uint8_t> answer;
        ASSERT_TRUE(client.ReadUntilClosed(answer));
        CRespNewMess response(nullptr);
        response.Decode(answer.data(), static_cast<uint32_t>(answer.size()));
        EXPECT_EQ(response.GetResultCode(), 1);
        EXPECT_EQ(answer.size(), 29u);
    }
    EXPECT_TRUE(SummaryHas("unreadable=")) << summary_;
    EXPECT_TRUE(SummaryHas("top_peers=127.0.0.1(")) << summary_;
}

// Silent clients, an oversized query and garbage at the same time: the
// server answers a good client while the silent ones still wait, then drops
// them when their time is up.
TEST_F(TipsServerTest, HostileClientsDoNotKeepOthersWaiting) {
    StartServer(std::chrono::milliseconds(1500));
    std::vector<std::unique_ptr<Socket>> silent;
    for (int i = 0; i < 50; ++i) silent.push_back(std::make_unique<Socket>(server_->LocalPort()));
    Socket half(server_->LocalPort());  // starts a query and never finishes it
    const auto packet = QueryPacket("slow", "", 0);
    ASSERT_TRUE(half.Send(packet.data(), 20));

    Socket huge(server_->LocalPort());
    std::vector<uint8_t> megabyte(1 << 20, 'A');
    StoreBigEndian32(megabyte.data(), 10);
    StoreBigEndian32(megabyte.data() + 8, static_cast<uint32_t>(megabyte.size() - 12));
    huge.Send(megabyte);  // the server may reset the connection part way
    std::vector<uint8_t> huge_answer;
    EXPECT_TRUE(huge.ReadUntilClosed(huge_answer));
    EXPECT_TRUE(huge_answer.empty());

    size_t tips = 0;
    uint32_t interval = 0;
    EXPECT_EQ(AskForTips(tips, interval), 0);
    EXPECT_EQ(tips, 2u);
    for (auto& s : silent) EXPECT_TRUE(s->StillOpen());

    for (auto& s : silent) {
        std::vector<uint8_t> nothing;
        EXPECT_TRUE(s->ReadUntilClosed(nothing));
        EXPECT_TRUE(nothing.empty());
    }
    std::vector<uint8_t> nothing;
    EXPECT_TRUE(half.ReadUntilClosed(nothing));
    EXPECT_TRUE(nothing.empty());
    EXPECT_TRUE(SummaryHas("too_large=")) << summary_;
    EXPECT_TRUE(SummaryHas("timed_out=")) << summary_;
}

// Bytes after a complete query must not reset the connection and cost the
// client its answer (an answer closed over unread bytes is reset).
TEST_F(TipsServerTest, JunkAfterAQueryDoesNotCostTheAnswer) {
    StartServer(std::chrono::seconds(10));
    for (int i = 0; i < 10; ++i) {
        Socket client(server_->LocalPort());
        auto bytes = QueryPacket("junk", "", 0);
        bytes.insert(bytes.end(), 4096, 'J');
        ASSERT_TRUE(client.Send(bytes));
        std::vector<uint8_t> answer;
        ASSERT_TRUE(client.ReadUntilClosed(answer));
        CRespNewMess response(nullptr);
        response.Decode(answer.data(), static_cast<uint32_t>(answer.size()));
        EXPECT_EQ(response.GetResultCode(), 0) << "answer of " << answer.size() << " bytes";
    }
    EXPECT_TRUE(LogHas(" junk_after_query=4096")) << Log();
}

TEST_F(TipsServerTest, ClientThatLeavesEarlyIsLogged) {
    StartServer(std::chrono::seconds(10));
    {
        Socket client(server_->LocalPort());
        ASSERT_TRUE(client.Send(QueryPacket("x", "", 0).data(), 10));
    }
    size_t tips = 0;
    uint32_t interval = 0;
    EXPECT_EQ(AskForTips(tips, interval), 0);  // and the server still answers
    EXPECT_TRUE(SummaryHas("closed_early=1")) << summary_;
}

TEST_F(TipsServerTest, BusyPortIsReported) {
    StartServer(std::chrono::seconds(10));
    tipserver::TipsServerConfig config;
    config.port = server_->LocalPort();
    tipserver::TipsServer second(config, *source_, *log_, trouble_);
    std::string error;
    EXPECT_FALSE(second.Bind(error));
    EXPECT_NE(error.find("cannot listen on 127.0.0.1:"), std::string::npos) << error;
}

}  // namespace
