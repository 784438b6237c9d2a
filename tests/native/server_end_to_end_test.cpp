// The tipserver program as operators run it (signals, reloads, limits, metrics, good and hostile clients
// of both ports, the commands' exit codes), and the catalogue source and log under it.
#include <fcntl.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <future>
#include <regex>
#include <thread>

#include "catalogue_source.h"
#include "catalogue_watch.h"
#include "connection_caps.h"
#include "core_test_support.h"
#include "log_sink.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "trouble_summary.h"

namespace {

using nlohmann::json;
const std::string kProgram = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tipserver";

// Ten seconds: a loaded machine can take seconds where an idle one takes a millisecond.
template <typename Done>
bool WaitFor(const Done& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

// Everything from `fd` until its end, or until ten seconds pass without a byte.
std::string ReadAll(int fd) {
    std::string out;
    char chunk[4096];
    ssize_t n = 0;
    for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 10000) > 0 && (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        out.append(chunk, size_t(n));
    return out;
}

struct LogFile {
    coretest::ScratchFolder folder;
    std::string path = folder.File("log"), text;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), in = ::open(path.c_str(), O_RDONLY);
    tipserver::LogSink sink{fd};
    ~LogFile() {
        sink.Flush();
        ::close(fd);
        ::close(in);
    }
    std::string Text() {
        sink.Flush();
        return text += ReadAll(in);
    }
    bool Has(const std::string& part) {
        return WaitFor([&] { return Text().find(part) != std::string::npos; });
    }
};

struct Socket {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    bool connected = false;
    explicit Socket(uint16_t port, int receive_buffer = 0) {  // 0: the kernel's
        sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        if (receive_buffer) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Socket() { ::close(fd); }
    bool Send(const std::string& bytes) {  // false once the server has closed
        ssize_t n = 0;
        for (size_t sent = 0; sent < bytes.size(); sent += size_t(n))
            if ((n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)) <= 0) return false;
        return true;
    }
    bool StillOpen() {  // open, and nothing written
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }
};

std::string HttpGet(uint16_t port, const std::string& path, const std::string& headers = "") {
    Socket client(port);
    client.Send("GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers + "\r\n");
    return ReadAll(client.fd);
}

int Tipserver(const std::string& arguments, const std::string& said) {  // the exit code; a failure if `said` is not
    FILE* pipe = ::popen((kProgram + " " + arguments + " 2>&1").c_str(), "r");
    const std::string out = ReadAll(::fileno(pipe));
    const int status = ::pclose(pipe);
    if (out.find(said) == std::string::npos) ADD_FAILURE() << arguments << ": no\n" << said << "\nin\n" << out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string QueryPacket(const std::string& user) {
    CQueryNewMess query;
    query.SetQueryParameter(user, "P1", 0);
    std::string packet(query.GetPacketLength(), '\0');
    uint32_t size = uint32_t(packet.size());
    query.Encode(reinterpret_cast<uint8_t*>(packet.data()), size);
    return packet;
}

// A tipserver serving a copy of the sample with small caps and deadlines: a SIGHUP as soon
// as its picture port listens (before the catalogue is loaded), then its ports from its log.
class Serve : public testing::Test {
  protected:
    static constexpr size_t kBig = 2 << 20;  // the banner, slower to read at 400 KB/s than the write timeout

    void SetUp() override {
        std::filesystem::copy(TIPSERVER_SAMPLE, log.folder.Folder());  // the pictures beside the catalogue
        sample["tips"][0].update({{"style", 12}, {"show_first", true}});
        std::ofstream(log.folder.File("banner.jpg"), std::ios::trunc) << "\xFF\xD8\xFF" << std::string(kBig - 3, '\0');
        std::ofstream(catalogue) << sample;
        ::signal(SIGHUP, SIG_DFL);  // inherited: its default action ends a process
        serve = ::popen(
            ("echo $$; exec " + kProgram + " serve --catalogue " + catalogue +
             " --listen 127.0.0.1:0 --listen 127.0.0.1:0=UTF-8 --http-listen 127.0.0.1:" + std::to_string(http_port) +
             " --metrics-listen 127.0.0.1:0 --query-timeout 3 --http-timeout 3 --max-connections 20"
             " --max-http-connections 8 --keep-alive 0 2>" +
             log.path)
                .c_str(),
            "r");
        ASSERT_EQ(std::fscanf(serve, "%d", &pid), 1);
        ASSERT_TRUE(WaitFor([&] { return Socket(http_port).connected; }));
        ::kill(pid, SIGHUP);
        ASSERT_TRUE(log.Has("catalogue reloaded (SIGHUP): 4 tips") && log.Has("listening metrics=")) << log.Text();
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            log.text, m,
            std::regex(
                "limits: descriptors=\\d+ \\(soft was \\d+, hard \\d+\\) query_connections=20 picture_connections=8"
                "[\\s\\S]*listening tips=(127.0.0.1:(\\d+)) encoding=CP936\n.*listening tips=(127.0.0.1:\\d+) "
                "encoding=UTF-8[\\s\\S]*listening metrics=http://127.0.0.1:(\\d+)")));
        tips = m[1];
        utf8_tips = m[3];
        tips_port = uint16_t(std::stoi(m[2]));
        metrics_port = uint16_t(std::stoi(m[4]));
    }
    void TearDown() override { Stop(); }
    int Stop() {  // the exit status
        if (!serve) return -1;
        ::kill(pid, SIGTERM);
        return ::pclose(std::exchange(serve, nullptr));
    }
    double Metric(const std::string& sample) {
        const std::string page = HttpGet(metrics_port, "/metrics");
        const size_t at = page.find("\n" + sample + " ");
        return at == std::string::npos ? -1 : std::stod(page.substr(at + sample.size() + 2));
    }

    LogFile log;
    json sample = json::parse(coretest::ReadBytes(TIPSERVER_SAMPLE "/catalogue.json"));
    const std::string catalogue = log.folder.File("catalogue.json");
    const uint16_t http_port = FreePort();
    std::string tips, utf8_tips;  // a port of each code page
    uint16_t tips_port = 0, metrics_port = 0;
    FILE* serve = nullptr;
    pid_t pid = 0;
};

// Stalled connections hold neither port: at the cap the one waiting longest makes way.
TEST_F(Serve, AnswersEachClientAsItShouldSurvivesSignalsAndCountsInItsMetrics) {
    EXPECT_EQ(Tipserver("query " + tips + " --pid PRO",  // texts back from CP936
                        "panel interval: 1 minutes\nrecords: 4 sent, 4 kept by a client's store\n"
                        "tip 1001: style 12, shown 15 s, 2024-01-01T00:00:00Z .. 2037-12-31T23:59:59Z, show first\n"
                        "  title: 欢迎 Welcome\n  text: Tips appear here now and then. 每次启动都会检查新的提示。\n"
                        "  picture: http://127.0.0.1:" +
                            std::to_string(http_port) +
                            "/welcome.gif\n"
                            "  link: http://www.example.com/tips/welcome\n"
                            "  button 1: \"Open\" OPENURL http://www.example.com/tips/welcome\n"
                            "  button 2: \"Get it\" DOWNLOAD http://www.example.com/files/sample.zip\n"),
              0);
    EXPECT_EQ(Tipserver("query " + utf8_tips + " --pid PRO --encoding UTF-8", "title: 欢迎 Welcome\n"), 0);
    EXPECT_TRUE(std::regex_search(HttpGet(metrics_port, "/metrics"),  // exact, not 1.79662857e+09
                                  std::regex("\nprocess_start_time_seconds \\d{10}\\.\\d{3}\n")));
    EXPECT_NE(HttpGet(http_port, "/banner.jpg").find("Content-Type: image/jpeg"), std::string::npos);
    EXPECT_EQ(HttpGet(http_port, "/catalogue.json").rfind("HTTP/1.1 404", 0), 0u);  // only the catalogue's pictures

    // Bytes sent in chunks of 7, the result code the client reads and a part of the log.
    const struct {
        std::string bytes;
        int code;  // -1: no answer; -2: the client leaves first
        const char* logged;
    } rows[] = {
        {QueryPacket("alice"), 0, "user=\"alice\" pid=\"P1\" last_time=0 message_id=0 tips=3"},
        {QueryPacket("junk") + std::string(4096, 'J'), 0, "user=\"junk\""},
        {"GET / HTTP/1.0\r\n\r\n", 1, "unreadable="},
        {QueryPacket("eve").replace(16, 1, "X"), 1, "top_peers=127.0.0.1("},                 // the name "XUERYNEWMESS"
        {QueryPacket("eve").substr(0, 8) + std::string("\0\x10\0\0", 4), -1, "too_large="},  // a megabyte announced
        {QueryPacket("x").substr(0, 10), -2, "closed_early="},
    };
    for (const auto& [bytes, code, logged] : rows) {
        Socket client(tips_port);
        for (size_t at = 0; at < bytes.size(); at += 7) client.Send(bytes.substr(at, 7));
        const std::string answer = code == -2 ? "" : ReadAll(client.fd);
        CShowDataList store;
        CRespNewMess response(&store);
        response.Decode(reinterpret_cast<const uint8_t*>(answer.data()), uint32_t(answer.size()));
        EXPECT_EQ(answer.empty() ? std::min(code, -1) : response.GetResultCode(), code) << logged;
        if (code >= 0 && bytes[0] != 'G')  // the query's sequence echoed; "GET / H" is refused before it arrives
            EXPECT_EQ(answer.substr(4, 4), bytes.substr(4, 4)) << logged;
    }
    const std::string counted = "tipserver_queries_total{outcome=\"";
    for (const auto& row : std::vector<std::pair<std::string, double>>{
             {counted + "answered\"}", 4},
             {counted + "error_answer\"}", 2},
             {counted + "refused_framing\"}", 1},
             {counted + "closed_early\"}", 1},
             {"tipserver_query_duration_seconds_count", 4},  // answered queries only
             {"tipserver_tips_sent_total", 4 + 4 + 3 + 3}})
        EXPECT_TRUE(WaitFor([&] { return Metric(row.first) == row.second; })) << row.first;
    std::string ranges = "Range: bytes=0-0";  // many ranges: the whole picture once
    for (int i = 1; i < 900; ++i) ranges += "," + std::to_string(i) + "-" + std::to_string(i);
    const std::string whole = HttpGet(http_port, "/welcome.gif", ranges + "\r\n");
    EXPECT_EQ(whole.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(whole.size() - whole.find("\r\n\r\n") - 4, 1898u) << "the picture's bytes";
    Socket flood(http_port);  // endless header lines: cut off at the header limit, long before 64 MiB
    const std::string line = "X-Filler: " + std::string(90, 'f') + "\r\n";
    size_t sent = 0;
    flood.Send("GET /welcome.gif HTTP/1.1\r\n");
    while (sent < (64u << 20) && flood.Send(line)) sent += line.size();
    EXPECT_LT(sent, 64u << 20);
    // The banner over the 3 s write timeout: the deadline is on progress, so a reader taking 16 KiB per 40 ms gets
    // it all, and one that stalls is cut, the cut logged with the bytes sent and counted as not taken.
    auto steady = std::async(std::launch::async, [&] {
        Socket reader(http_port, 16 << 10);
        reader.Send("GET /banner.jpg HTTP/1.1\r\nHost: x\r\n\r\n");
        std::string got;
        char chunk[16 << 10];
        for (ssize_t n = 1; n > 0; got.append(chunk, size_t(std::max<ssize_t>(n, 0)))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            n = ::recv(reader.fd, chunk, sizeof chunk, 0);
        }
        return got.size() - got.find("\r\n\r\n") - 4;
    });
    Socket stalled_reader(http_port, 16 << 10);
    stalled_reader.Send("GET /banner.jpg HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(WaitFor([&] { return Metric("tipserver_picture_answers_cut_total") == 1; }));
    EXPECT_LT(ReadAll(stalled_reader.fd).size(), kBig);
    EXPECT_EQ(steady.get(), kBig);
    std::smatch cut;
    EXPECT_TRUE(
        log.Has(" write_failed of=2097152\n") &&
        std::regex_search(log.text, cut, std::regex("path=\"/banner.jpg\" status=200 bytes=(\\d+) write_failed")) &&
        std::stoul(cut[1]) < kBig);
    for (int i = 0; i < 150; ++i) HttpGet(http_port, "/welcome.gif");  // lines a second are bounded
    EXPECT_TRUE(log.Has("picture: ") && log.Has(" more answers not logged one by one"));

    std::smatch validators;  // what a cache in front keeps, and asks with
    ASSERT_TRUE(
        std::regex_search(whole, validators, std::regex("ETag: (\"[0-9a-f]{16}\")\r\nLast-Modified: ([^\r]+)")));
    struct HttpRow {
        std::string request;  // after "GET " and before the blank line
        std::string answer;   // its start
    };
    const std::string get = "/welcome.gif HTTP/1.1\r\nHost: x\r\n";
    const HttpRow http_rows[] = {
        {"http://tips.example" + get, "HTTP/1.1 200 OK"},           // the absolute form
        {"/welcome.gif HTTP/1.1\r\n", "HTTP/1.1 400 Bad Request"},  // HTTP/1.1 without Host
        {"/" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: x\r\n", "HTTP/1.1 414"},
        {get + "Content-Length: 5\r\n", "HTTP/1.1 413"},
        {get + "Transfer-Encoding: chunked\r\n", "HTTP/1.1 413"},
        {get + "If-None-Match: \"1\", W/" + validators.str(1) + "\r\n", "HTTP/1.1 304"},  // as a proxy may
        {get + "If-Modified-Since: " + validators.str(2) + "\r\n", "HTTP/1.1 304"},
        {get + "If-None-Match: \"1\"\r\nIf-Modified-Since: " + validators.str(2) + "\r\n",
         "HTTP/1.1 200"},  // the tag decides
    };
    for (const HttpRow& row : http_rows) {
        Socket client(http_port);  // keep-alive asked for, but with no idle time the server says it closes
        client.Send("GET " + row.request + "\r\n");
        const std::string answer = ReadAll(client.fd);
        EXPECT_EQ(answer.rfind(row.answer, 0), 0u) << row.request.substr(0, 80) << " got\n" << answer.substr(0, 200);
        EXPECT_NE(answer.find("Connection: close\r\n"), std::string::npos) << row.request.substr(0, 80);
    }

    std::vector<std::unique_ptr<Socket>> stalled;
    for (int i = 1; i < 28; ++i) {
        stalled.push_back(std::make_unique<Socket>(i < 20 ? tips_port : http_port));
        if (i % 2 == 0) stalled.back()->Send(i < 20 ? QueryPacket("slow").substr(0, 20) : "GET / HTTP/1.1\r\nX: ");
    }
    const std::string open_on = "tipserver_connections_open{port=\"";
    EXPECT_TRUE(WaitFor([&] { return Metric(open_on + "query\"}") == 19 && Metric(open_on + "picture\"}") == 8; }));
    // The 20th has its answer and holds its end open: logged while held, and the first to make way.
    Socket holder(tips_port);
    holder.Send(QueryPacket("holder"));
    EXPECT_FALSE(ReadAll(holder.fd).empty());
    EXPECT_TRUE(log.Has("user=\"holder\""));
    EXPECT_EQ(Metric(open_on + "query\"}"), 20);
    EXPECT_EQ(Tipserver("query " + tips, "records: 3 sent"), 0);
    EXPECT_EQ(HttpGet(http_port, "/welcome.gif").rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(Metric("tipserver_connections_refused_total{port=\"query\"}"), 1.0);
    EXPECT_EQ(Metric("tipserver_connections_refused_total{port=\"picture\"}"), 1.0);
    size_t open = 0, quiet = 0;
    for (auto& s : stalled) open += s->StillOpen();
    for (auto& s : stalled) quiet += ReadAll(s->fd).empty();
    EXPECT_EQ(open, 26u);
    EXPECT_EQ(quiet, 27u);
    EXPECT_TRUE(WaitFor([&] { return Metric(counted + "timed_out\"}") == 19; }));
    EXPECT_EQ(Metric(counted + "evicted\"}"), 0);  // the holder made way, not a stalled client

    EXPECT_EQ(Tipserver("query 127.0.0.1:" + std::to_string(http_port), "not a tips server: it answers in HTTP"),
              2);  // a malformed request there
    std::ofstream(catalogue, std::ios::trunc) << "{\"panel_interval_minutes\": 30, \"tips\": [ broken";
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(WaitFor([&] { return Metric("tipserver_catalogue_reload_failures_total") == 1; }));
    EXPECT_EQ(Tipserver("check " + catalogue, "catalogue refused: 1 problem\n"), 2);
    sample["tips"].erase(0);  // and a tip added in March, valid since February: old clients never get it
    sample["tips"].push_back({{"id", 7}, {"begin", "2024-02-01"}, {"end", "2030-01-01"}, {"text", "since February"}});
    std::ofstream(catalogue, std::ios::trunc) << sample;
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(WaitFor([&] { return Metric("tipserver_catalogue_generation") == 3; }));  // the first, SIGHUP's, this
    EXPECT_EQ(Metric("tipserver_catalogue_unreachable_tips"), 1);
    EXPECT_EQ(Tipserver("serve --catalogue " + catalogue + " --listen " + tips + " --http-listen 127.0.0.1:0",
                        "cannot listen on 127.0.0.1:"),
              3);
    EXPECT_EQ(Stop(), 0);
    EXPECT_TRUE(log.Has("stopped"));  // the summary of connections gone wrong, at the latest now
    std::vector<std::string> said = {" timed_out=", "picture_timed_out=",
                                     "catalogue warning: tip 7: updated: new, but its stamp 2024-02-01T00:00:00Z",
                                     "(SIGHUP): 4 tips, 1 pictures; 1 added, 0 changed, 1 removed"};
    for (const auto& row : rows) said.push_back(row.logged);
    const std::string text = log.Text();
    for (const auto& [kind, count] : std::map<std::string, int>{{"picture_evicted_at_cap", 1},
                                                                {"picture_malformed", 4},
                                                                {"picture_not_found", 1},
                                                                {"picture_refused", 2}}) {
        int summed = 0;  // over every summary line
        const std::regex counted_kind(" " + kind + "=(\\d+)");
        for (std::sregex_iterator it(text.begin(), text.end(), counted_kind), end; it != end; ++it)
            summed += std::stoi((*it)[1]);
        EXPECT_EQ(summed, count) << kind;
    }
    EXPECT_EQ(text.find("status=404"), std::string::npos);  // folded into the summary instead
    for (const auto& part : said) EXPECT_NE(log.Text().find(part), std::string::npos) << part << " in\n" << log.Text();

    EXPECT_EQ(Tipserver("check " + catalogue + " --against " TIPSERVER_SAMPLE "/catalogue.json",
                        "1 added, 0 changed, 1 removed\nwarning: tip 7: updated: new, but its stamp "
                        "2024-02-01T00:00:00Z is not after 2024-03-01T00:00:00Z"),
              0);
    EXPECT_EQ(Tipserver("check --encoding NO-SUCH-CODEPAGE " + catalogue, "unknown encoding NO-SUCH-CODEPAGE"), 2);
    EXPECT_EQ(Tipserver("check --public-url tips.example:8080 " + catalogue, "is not http:// or https://"), 2);
    EXPECT_EQ(Tipserver("serve --catalogue none.json --listen 127.0.0.1:0 --http-listen 127.0.0.1:0", "cannot read"),
              2);
    EXPECT_EQ(Tipserver("query 127.0.0.1:1", "cannot connect"), 3);
    EXPECT_EQ(Tipserver("serve --help", "usage:\n"), 0);
}

TEST(CatalogueSource, ReloadsGoodFilesOnlyAndRetriesReadErrors) {
    LogFile log;
    const std::string path = log.folder.File("catalogue.json");
    std::filesystem::copy(TIPSERVER_SAMPLE, log.folder.Folder());
    json sample = json::parse(coretest::ReadBytes(path));
    tipserver::CatalogueSource source(path, tipserver::CatalogueOptions(), log.sink);
    std::vector<tipserver::CatalogueProblem> problems;
    ASSERT_TRUE(source.LoadInitial(problems));
    const auto first = source.Current();

    sample["tips"][2]["text"] = std::string(101, 'x');
    std::ofstream(path, std::ios::trunc) << sample;
    source.Reload("SIGHUP");
    source.Poll();
    source.Poll();  // the bad file, already tried, is not tried again
    EXPECT_EQ(source.Current(), first);
    EXPECT_TRUE(log.Has("catalogue problem: tip 1003: text: 101 bytes in CP936, at most 100\n"));
    EXPECT_TRUE(log.Has("catalogue reload (SIGHUP) refused, 1 problems; still serving the previous catalogue"));
    EXPECT_EQ(log.Text().find("refused"), log.Text().rfind("refused"));

    sample["tips"].erase(2);
    std::ofstream(path, std::ios::trunc) << sample;
    source.Poll();  // seen changing: not yet
    // Out of descriptors (a limit at the lowest free one), the settled file cannot be read.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const rlimit starved{rlim_t(::dup(0)), saved.rlim_max};
    ::close(int(starved.rlim_cur));
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &starved), 0);
    source.Poll();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(source.Current(), first);
    EXPECT_TRUE(log.Has("Too many open files"));
    source.Poll();  // tried again at the next look
    EXPECT_EQ(source.Current()->tips.size(), 3u);
    EXPECT_EQ(source.ReloadFailures(), 2u);
    EXPECT_TRUE(log.Has("catalogue reloaded (retry after a read error): 3 tips"));

    // A refusal that time lifts (an `updated` ahead, as a fast clock writes it) is tried again until it loads.
    sample["tips"][0]["updated"] = std::time(nullptr) + 2;
    std::ofstream(path, std::ios::trunc) << sample;
    source.Reload("SIGHUP");
    EXPECT_TRUE(source.Refused());
    EXPECT_TRUE(log.Has("refused, 1 problems; trying again at the next look"));
    EXPECT_TRUE(WaitFor([&] {
        source.Poll();
        return !source.Refused();
    }));
    EXPECT_TRUE(log.Has("catalogue reloaded (retry): 3 tips, 2 pictures; 0 added, 1 changed, 0 removed"));

    // Refused for a picture not there yet: the picture's arrival brings the catalogue in.
    sample["tips"][0]["picture"] = "new.gif";
    std::ofstream(path, std::ios::trunc) << sample;
    source.Reload("SIGHUP");
    EXPECT_TRUE(log.Has("new.gif\n"));
    EXPECT_TRUE(log.Has("catalogue reload (SIGHUP) refused"));
    std::filesystem::copy(log.folder.File("welcome.gif"), log.folder.File("new.gif"));
    source.Poll();
    source.Poll();
    EXPECT_EQ(source.Current()->pictures.count("new.gif"), 1u);
}

// Writes `text` into the pipe `path` once a reader opens it (false if none does within `within`);
// `opened` runs while that reader waits for the text.
bool Feed(
    const std::string& path, const std::string& text, std::chrono::milliseconds within = std::chrono::seconds(10),
    const std::function<void()>& opened = [] {}) {
    const auto end = std::chrono::steady_clock::now() + within;
    int fd = -1;
    while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (fd < 0) return false;
    opened();
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return written;
}

// A catalogue read from a pipe: each load waits, mid-read, for the test to write it.
TEST(CatalogueWatch, ChangeDuringALoadIsLoadedNextAndRequestsDuringALoadBecomeOneMore) {
    LogFile log;
    const std::string path = log.folder.File("catalogue.json");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto catalogue = [](int minutes) {
        return json{{"panel_interval_minutes", minutes}, {"tips", json::array()}}.dump();
    };
    auto interval = [](tipserver::CatalogueSource& source) { return source.Current()->panel_interval_minutes; };
    tipserver::CatalogueSource source(path, tipserver::CatalogueOptions(), log.sink);
    auto first = std::async(std::launch::async, Feed, path, catalogue(1), std::chrono::seconds(10), [] {});
    std::vector<tipserver::CatalogueProblem> problems;
    ASSERT_TRUE(source.LoadInitial(problems) && first.get());
    // Written while the first load read it: the file has changed since that load began.
    auto second = std::async(std::launch::async, Feed, path, catalogue(2), std::chrono::seconds(10), [] {});
    source.Poll();  // seen changed: it has to settle
    source.Poll();
    EXPECT_TRUE(second.get());
    EXPECT_EQ(interval(source), 2u);

    tipserver::CatalogueWatch watch(source, std::chrono::hours(1));  // no looks: requests only
    watch.Start();
    watch.RequestReload();
    EXPECT_TRUE(Feed(path, catalogue(3), std::chrono::seconds(10), [&] {
        for (int i = 0; i < 10; ++i) watch.RequestReload();
    }));
    EXPECT_TRUE(WaitFor([&] { return interval(source) == 3; }));  // read to its end before the next is written
    EXPECT_TRUE(Feed(path, catalogue(4)));                        // the ten, merged
    EXPECT_TRUE(WaitFor([&] { return interval(source) == 4; }));
    EXPECT_FALSE(Feed(path, catalogue(5), std::chrono::milliseconds(300)));  // and no more
    while (Feed(path, "", std::chrono::milliseconds(100))) {
    }  // frees any reload still waiting, so the stop can join it
    watch.Stop();
}

struct Caps {
    uint64_t query = 0, picture = 0, metrics = 0;
    NAMED_FIELDS(Caps, query, picture, metrics)
};

TEST(ConnectionCaps, FitWithinTheDescriptorsBesideAReserveForEachEventLoop) {
    struct Row {
        uint64_t descriptors, event_loops;
        Caps wanted, fitted;
    };
    const Row rows[] = {
        {.descriptors = 1 << 20, .event_loops = 3, .wanted = {10000, 1024, 16}, .fitted = {10000, 1024, 16}},
        // 32 + 4 x 18 kept: 96 left, where a fixed reserve left 136 and the 125th connection failed.
        {.descriptors = 200, .event_loops = 18, .wanted = {10000, 1024, 16}, .fitted = {86, 8, 1}},
        {.descriptors = 1024, .event_loops = 4, .wanted = {10000, 1024, 0}, .fitted = {885, 90, 0}},  // no metrics port
        {.descriptors = 40, .event_loops = 3, .wanted = {10000, 1024, 16}, .fitted = {2, 1, 1}},  // below the reserve
    };
    for (const Row& row : rows) {
        const tipserver::ConnectionCaps fit = tipserver::FitCaps(
            {row.wanted.query, row.wanted.picture, row.wanted.metrics}, row.descriptors, row.event_loops);
        EXPECT_EQ((Caps{fit.query, fit.picture, fit.metrics}), row.fitted) << row.descriptors << " descriptors";
    }
}

TEST(TroubleSummary, AFailedAcceptIsAKindOfItsOwnAndNoPeer) {
    tipserver::TroubleSummary summary;
    summary.Record("accept_failed", {});
    summary.Record("timed_out", "10.0.0.8");
    EXPECT_EQ(summary.TakeLine(), "connections not answered: accept_failed=1 timed_out=1 top_peers=10.0.0.8(1)");
}

TEST(ServerLog, FullQueueDropsAndCountsInsteadOfBlocking) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto log = std::make_unique<tipserver::LogSink>(fds[1], 4096);  // a blocking writer would hang here
    for (int i = 0; i < 100000; ++i) log->Write("a line of about sixty bytes that nobody reads for now .....");
    EXPECT_GT(log->Dropped(), 0u);
    auto reader = std::async(std::launch::async, ReadAll, fds[0]);
    log->Write("last");
    log.reset();
    ::close(fds[1]);
    const std::string out = reader.get();
    ::close(fds[0]);
    EXPECT_NE(out.find("lines dropped"), std::string::npos);
    EXPECT_NE(out.find(" last\n"), std::string::npos);
}

}  // namespace
