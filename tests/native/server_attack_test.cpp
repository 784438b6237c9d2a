// Hostile HTTP clients and a stalled log reader: each attack is bounded
// and none holds up a good client.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "http_server.h"
#include "server_test_support.h"

namespace {

using servertest::Socket;
using Clock = std::chrono::steady_clock;

const std::string kPicture(100 * 1024, 'P');

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class HttpAttackTest : public testing::Test {
protected:
    void SetUp() override {
        log_fd_ = ::open(folder_.File("log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        log_ = std::make_unique<tipserver::LogSink>(log_fd_);
        tipserver::HttpServerConfig config;
        config.name = "picture";
        config.max_connections = 8;
        config.request_timeout = config.idle_timeout = std::chrono::milliseconds(800);
        server_ = std::make_unique<tipserver::HttpServer>(
            config,
            [](const std::string&) {
                tipserver::HttpReply reply;
                reply.text = kPicture;
                return reply;
            },
            *log_, trouble_);
        std::string error;
        ASSERT_TRUE(server_->Bind(error)) << error;
        server_->Start();
    }
    void TearDown() override {
        server_.reset();
        log_.reset();
        ::close(log_fd_);
    }

    // A whole download on a fresh connection; its time goes to `took`.
    std::string Get(const std::string& headers, Clock::duration& took) {
        const auto start = Clock::now();
        Socket client(server_->LocalPort());
        const std::string request = "GET /a.gif HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers + "\r\n";
        client.Send(request.data(), request.size());
        std::vector<uint8_t> answer;
        client.ReadUntilClosed(answer, std::chrono::seconds(5));
        took = Clock::now() - start;
        return Text(answer);
    }

    coretest::ScratchFolder folder_;
    int log_fd_ = -1;
    std::unique_ptr<tipserver::LogSink> log_;
    tipserver::TroubleSummary trouble_;
    std::unique_ptr<tipserver::HttpServer> server_;
};

TEST_F(HttpAttackTest, ManyRangesGetTheWholeBodyOnce) {
    std::string ranges = "Range: bytes=0-0";
    for (int i = 1; i < 900; ++i) ranges += "," + std::to_string(i) + "-" + std::to_string(i);
    Clock::duration took;
    const std::string answer = Get(ranges + "\r\n", took);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer.substr(0, 200);
    EXPECT_EQ(answer.size() - answer.find("\r\n\r\n") - 4, kPicture.size());
}

TEST_F(HttpAttackTest, EndlessHeaderLinesAreCutOff) {
    Socket client(server_->LocalPort());
    const std::string start = "GET /a.gif HTTP/1.1\r\n";
    client.Send(start.data(), start.size());
    const std::string line = "X-Filler: " + std::string(90, 'f') + "\r\n";
    size_t sent = 0;
    while (sent < (64u << 20) && client.Send(line.data(), line.size())) sent += line.size();
    // The server closed long before 64 MiB: what it holds is bounded by
    // its header limit, what was sent by the socket buffers.
    EXPECT_LT(sent, 64u << 20);
    std::vector<uint8_t> nothing;
    EXPECT_TRUE(client.ReadUntilClosed(nothing, std::chrono::seconds(2)));
}

// Slow-header and idle connections filling the cap: a good download is
// still served at once (the longest-waiting connection makes way), and the
// slow ones are dropped at their deadline.
TEST_F(HttpAttackTest, SlowAndIdleClientsDoNotHoldUpADownload) {
    std::vector<std::unique_ptr<Socket>> slow;
    for (int i = 0; i < 8; ++i) {
        slow.push_back(std::make_unique<Socket>(server_->LocalPort()));
        if (i % 2 == 0) slow.back()->Send("GET /a.gif HTTP/1.1\r\nX: ", 24);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Clock::duration took;
    const std::string answer = Get("", took);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_EQ(tipserver::Read(server_->Counters().refused_at_cap), 1u);

    std::vector<uint8_t> nothing;
    for (auto& s : slow) EXPECT_TRUE(s->ReadUntilClosed(nothing, std::chrono::seconds(3)));
    const std::string summary = trouble_.TakeLine();
    EXPECT_NE(summary.find("picture_evicted_at_cap=1"), std::string::npos) << summary;
    EXPECT_NE(summary.find("picture_timed_out="), std::string::npos) << summary;
}

// A log reader that stops reading: lines are dropped and counted, the
// writer never waits, and the count reaches the log once it reads again.
TEST(LogQueue, FullQueueDropsAndCountsInsteadOfBlocking) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string out;
    std::thread reader;
    {
        tipserver::LogSink log(fds[1], 4096);
        const auto start = Clock::now();
        for (int i = 0; i < 100000; ++i) log.Write("a line of about sixty bytes that nobody reads for now .....");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
        EXPECT_GT(log.Dropped(), 0u);
        reader = std::thread([&] {
            char chunk[4096];
            ssize_t n;
            while ((n = ::read(fds[0], chunk, sizeof chunk)) > 0) out.append(chunk, static_cast<size_t>(n));
        });
        log.Write("last");
        log.Flush();
    }
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);
    EXPECT_NE(out.find("lines dropped"), std::string::npos);
    EXPECT_NE(out.find(" last\n"), std::string::npos);
}

}  // namespace
