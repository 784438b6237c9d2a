// The tipserver program as operators run it: "serve" with the sample
// catalogue on loopback, asked by "query", its pictures fetched over HTTP,
// reloaded on SIGHUP, and "check" on good and bad catalogues.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "server_test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The program is built beside the test program.
std::string ProgramPath() {
    return (fs::read_symlink("/proc/self/exe").parent_path() / "tipserver").string();
}

fs::path SampleFolder() { return fs::path(__FILE__).parent_path() / ".." / ".." / "server" / "sample"; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Outcome {
    int exit_code = -1;
    std::string out;
};

Outcome RunProgram(const std::string& arguments) {
    Outcome outcome;
    FILE* pipe = ::popen((ProgramPath() + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return outcome;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) outcome.out.append(chunk, n);
    const int status = ::pclose(pipe);
    outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

struct HttpAnswer {
    int status = 0;
    std::string head;
    std::string body;
};

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// One request on its own connection; the server closes it after the answer.
HttpAnswer HttpGet(int port, const std::string& path) {
    HttpAnswer answer;
    const int fd = Connect(port);
    if (fd < 0) return answer;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string all;
    char chunk[65536];
    ssize_t n;
    while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0) all.append(chunk, static_cast<size_t>(n));
    ::close(fd);
    const size_t end = all.find("\r\n\r\n");
    if (end != std::string::npos && all.size() > 12) {
        answer.status = std::atoi(all.c_str() + 9);
        answer.head = all.substr(0, end);
        answer.body = all.substr(end + 4);
    }
    return answer;
}

class ServeProcess {
public:
    // Starts "tipserver serve" on free ports and waits for its listening
    // lines; with `hangup_at_start`, sends it SIGHUP (its default action
    // ends a process) as soon as its picture port listens, before the
    // catalogue is loaded.
    ServeProcess(const std::string& catalogue, const std::string& log, bool hangup_at_start = false) : log_(log) {
        const std::string program = ProgramPath();
        const int http_port = hangup_at_start ? FreePort() : 0;
        std::vector<std::string> args = {program,     "serve",       "--catalogue",   catalogue,  "--listen",
                                         "127.0.0.1:0", "--http-listen", "127.0.0.1:" + std::to_string(http_port),
                                         "--metrics-listen", "127.0.0.1:0"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t hangup;
        sigemptyset(&hangup);
        sigaddset(&hangup, SIGHUP);
        posix_spawnattr_setsigdefault(&attributes, &hangup);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        started_ = posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; hangup_at_start && i < 5000; ++i) {
            const int fd = Connect(http_port);
            if (fd >= 0) {
                ::close(fd);
                Signal(SIGHUP);
                break;
            }
        }
        const std::regex metrics("listening metrics=http://127\\.0\\.0\\.1:(\\d+)");
        const std::regex tips("listening tips=127\\.0\\.0\\.1:(\\d+)");
        const std::regex pictures("listening pictures=http://127\\.0\\.0\\.1:(\\d+)");
        for (int i = 0; started_ && i < 500 && (tips_port_ == 0 || http_port_ == 0); ++i) {
            std::smatch m;
            const std::string text = ReadText(log_);
            if (std::regex_search(text, m, tips)) tips_port_ = std::stoi(m[1]);
            if (std::regex_search(text, m, pictures)) http_port_ = std::stoi(m[1]);
            if (std::regex_search(text, m, metrics)) metrics_port_ = std::stoi(m[1]);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~ServeProcess() {
        if (started_ && !stopped_) Stop();
    }

    bool Ready() const { return tips_port_ != 0 && http_port_ != 0; }
    int TipsPort() const { return tips_port_; }
    int HttpPort() const { return http_port_; }
    // The value of one sample ("name{labels}") in a scrape of the metrics.
    double Metric(const std::string& sample) const {
        const std::string page = HttpGet(metrics_port_, "/metrics").body;
        const size_t at = page.find("\n" + sample + " ");
        return at == std::string::npos ? -1 : std::stod(page.substr(at + sample.size() + 2));
    }
    // A connection is counted once the client has closed it: give it a moment.
    bool MetricReaches(const std::string& sample, double value) const {
        for (int i = 0; i < 100 && Metric(sample) != value; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Metric(sample) == value;
    }
    void Signal(int number) { ::kill(pid_, number); }

    // Waits until the log holds `part` (the server writes it in batches; a
    // loaded machine can take seconds).
    bool LogHas(const std::string& part) {
        for (int i = 0; i < 1000; ++i) {
            if (ReadText(log_).find(part) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    int Stop() {
        stopped_ = true;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    std::string log_;
    pid_t pid_ = 0;
    bool started_ = false;
    bool stopped_ = false;
    int tips_port_ = 0;
    int http_port_ = 0;
    int metrics_port_ = 0;
};

class EndToEnd : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(ProgramPath())) << "build the tipserver target first: " << ProgramPath();
        for (const char* name : {"catalogue.json", "welcome.gif", "banner.jpg"})
            fs::copy_file(SampleFolder() / name, folder_.File(name));
    }

    std::string Catalogue() const { return folder_.File("catalogue.json"); }

    coretest::ScratchFolder folder_;
};

TEST_F(EndToEnd, ServedSampleCatalogueReachesAClient) {
    ServeProcess server(Catalogue(), folder_.File("serve.log"));
    ASSERT_TRUE(server.Ready()) << ReadText(folder_.File("serve.log"));
    const std::string address = "127.0.0.1:" + std::to_string(server.TipsPort());
    const std::string picture_base = "http://127.0.0.1:" + std::to_string(server.HttpPort()) + "/";

    const Outcome pro = RunProgram("query " + address + " --user e2e --pid PRO");
    EXPECT_EQ(pro.exit_code, 0) << pro.out;
    EXPECT_NE(pro.out.find("status: 0"), std::string::npos) << pro.out;
    EXPECT_NE(pro.out.find("panel interval: 1 minutes"), std::string::npos) << pro.out;
    EXPECT_NE(pro.out.find("records: 4 sent, 4 kept by a client's store"), std::string::npos) << pro.out;
    EXPECT_NE(pro.out.find("title: 欢迎 Welcome"), std::string::npos) << pro.out;  // back from CP936
    EXPECT_NE(pro.out.find("picture: " + picture_base + "welcome.gif"), std::string::npos) << pro.out;
    EXPECT_NE(pro.out.find("button 2: \"Get it\" DOWNLOAD http://www.example.com/files/sample.zip"),
              std::string::npos)
        << pro.out;
    EXPECT_TRUE(server.LogHas("user=\"e2e\" pid=\"PRO\" last_time=0 message_id=0 tips=4"));

    // Another edition does not get the PRO tip; a known last-time gets nothing new.
    const Outcome other = RunProgram("query " + address + " --pid FREE");
    EXPECT_NE(other.out.find("records: 3 sent"), std::string::npos) << other.out;
    const std::regex last_time_line("last-time: (\\d+)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(other.out, m, last_time_line)) << other.out;
    const Outcome again = RunProgram("query " + address + " --pid FREE --last-time " + m[1].str());
    EXPECT_NE(again.out.find("records: 0 sent"), std::string::npos) << again.out;
    const Outcome one = RunProgram("query " + address + " --pid FREE --last-time " + m[1].str() + " --message-id 1002");
    EXPECT_NE(one.out.find("records: 1 sent, 1 kept"), std::string::npos) << one.out;
    EXPECT_NE(one.out.find("tip 1002:"), std::string::npos) << one.out;

    const HttpAnswer gif = HttpGet(server.HttpPort(), "/welcome.gif");
    EXPECT_EQ(gif.status, 200);
    EXPECT_NE(gif.head.find("Content-Type: image/gif"), std::string::npos) << gif.head;
    EXPECT_EQ(gif.body, ReadText(folder_.File("welcome.gif")));
    EXPECT_NE(HttpGet(server.HttpPort(), "/banner.jpg").head.find("Content-Type: image/jpeg"), std::string::npos);
    // Nothing but the catalogue's pictures leaves the folder.
    EXPECT_EQ(HttpGet(server.HttpPort(), "/catalogue.json").status, 404);

    EXPECT_EQ(server.Stop(), 0);
    EXPECT_NE(ReadText(folder_.File("serve.log")).find("stopped"), std::string::npos);
}

// Also: a SIGHUP before the server has loaded anything does not end it,
// and the metrics count what happened.
TEST_F(EndToEnd, ReloadTakesAGoodCatalogueAndRefusesABadOne) {
    ServeProcess server(Catalogue(), folder_.File("serve.log"), true);
    ASSERT_TRUE(server.Ready()) << ReadText(folder_.File("serve.log"));
    EXPECT_TRUE(server.LogHas("catalogue reloaded (SIGHUP): 4 tips"));
    const std::string query = "query 127.0.0.1:" + std::to_string(server.TipsPort()) + " --pid PRO";
    const std::string original = ReadText(Catalogue());
    const double answered = server.Metric("tipserver_queries_total{outcome=\"answered\"}");
    const double tips_sent = server.Metric("tipserver_tips_sent_total");
    const double generation = server.Metric("tipserver_catalogue_generation");
    EXPECT_GE(answered, 0);

    std::ofstream(Catalogue(), std::ios::trunc) << "{\"panel_interval_minutes\": 30, \"tips\": [ broken";
    server.Signal(SIGHUP);
    EXPECT_TRUE(server.LogHas("refused"));
    EXPECT_NE(RunProgram(query).out.find("records: 4 sent"), std::string::npos);
    EXPECT_TRUE(server.MetricReaches("tipserver_queries_total{outcome=\"answered\"}", answered + 1));
    EXPECT_EQ(server.Metric("tipserver_tips_sent_total"), tips_sent + 4);
    EXPECT_EQ(server.Metric("tipserver_catalogue_reload_failures_total"), 1);
    EXPECT_EQ(server.Metric("tipserver_query_duration_seconds_count"), answered + 1);

    auto changed = servertest::json::parse(original);
    changed["tips"].erase(0);
    std::ofstream(Catalogue(), std::ios::trunc) << changed.dump();
    server.Signal(SIGHUP);
    EXPECT_TRUE(server.LogHas("catalogue reloaded (SIGHUP): 3 tips"));
    EXPECT_NE(RunProgram(query).out.find("records: 3 sent"), std::string::npos);
    EXPECT_EQ(server.Metric("tipserver_catalogue_generation"), generation + 1);
}

TEST_F(EndToEnd, MissingCatalogueStopsServeAtOnce) {
    const Outcome outcome = RunProgram("serve --catalogue " + folder_.File("none.json") +
                                " --listen 127.0.0.1:0 --http-listen 127.0.0.1:0");
    EXPECT_EQ(outcome.exit_code, 2);
    EXPECT_NE(outcome.out.find("cannot read"), std::string::npos) << outcome.out;
}

TEST_F(EndToEnd, CheckSummarisesAGoodCatalogueAndListsTheFaultsOfABadOne) {
    const Outcome good = RunProgram("check " + Catalogue());
    EXPECT_EQ(good.exit_code, 0) << good.out;
    EXPECT_NE(good.out.find("tip 1001: 2024-01-01T00:00:00Z .. 2037-12-31T23:59:59Z"), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("catalogue OK: 4 tips, 2 pictures"), std::string::npos) << good.out;

    auto bad = servertest::json::parse(ReadText(Catalogue()));
    bad["tips"][0]["title"] = "这是一个非常非常非常非常非常长的标题文字啊";  // 21 characters, 42 bytes
    bad["tips"][1]["picture"] = "missing.gif";
    std::ofstream(Catalogue(), std::ios::trunc) << bad.dump();
    const Outcome refused = RunProgram("check " + Catalogue());
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_NE(refused.out.find("tip 1001: title: 42 bytes in CP936, at most 40"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("tip 1002: picture: no file"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("catalogue refused: 2 problems"), std::string::npos) << refused.out;
}

TEST_F(EndToEnd, QueryReportsAServerThatIsNotThere) {
    // A port that was free a moment ago.
    int port = 0;
    {
        ServeProcess server(Catalogue(), folder_.File("serve.log"));
        ASSERT_TRUE(server.Ready());
        port = server.TipsPort();
    }
    const Outcome outcome = RunProgram("query 127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(outcome.exit_code, 3);
    EXPECT_NE(outcome.out.find("cannot connect"), std::string::npos) << outcome.out;
}

}  // namespace
