// The tipserver program as operators run it, for what only the program
// shows: signals (a SIGHUP right at start, reloads, SIGTERM), the limits
// and listening lines, the metrics port, and the commands' exit codes.
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <regex>

#include "server_test_support.h"

namespace {

namespace fs = std::filesystem;
using servertest::ReadText;

const std::string kProgram = (fs::read_symlink("/proc/self/exe").parent_path() / "tipserver").string();

std::pair<int, std::string> RunProgram(const std::string& arguments) {
    FILE* pipe = ::popen((kProgram + " " + arguments + " 2>&1").c_str(), "r");
    std::string out;
    char chunk[4096];
    for (size_t n; pipe != nullptr && (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string HttpGet(uint16_t port, const std::string& path) {
    servertest::Socket client(port);
    client.Send("GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    std::string answer;
    client.ReadUntilClosed(answer);
    return answer;
}

uint16_t FreePort() {  // free a moment ago
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// "serve" with the sample catalogue, sent a SIGHUP as soon as its picture
// port listens, before the catalogue is loaded; then reloads, metrics, stop.
TEST(EndToEnd, ServeSurvivesSignalsReloadsAndCountsInItsMetrics) {
    coretest::ScratchFolder folder;
    for (const char* name : {"catalogue.json", "welcome.gif", "banner.jpg"})
        fs::copy_file(fs::path(TIPSERVER_SAMPLE) / name, folder.File(name));
    const std::string catalogue = folder.File("catalogue.json"), log = folder.File("serve.log");
    const uint16_t http_port = FreePort();
    std::vector<std::string> args = {kProgram, "serve", "--catalogue", catalogue, "--listen", "127.0.0.1:0",
                                     "--http-listen", "127.0.0.1:" + std::to_string(http_port),
                                     "--metrics-listen", "127.0.0.1:0"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {  // with SIGHUP's default action, which ends a process
        ::signal(SIGHUP, SIG_DFL);
        ::dup2(::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ::execv(kProgram.c_str(), argv.data());
        ::_exit(127);
    }
    ASSERT_TRUE(servertest::WaitFor([&] { return servertest::Socket(http_port).connected; }));
    ::kill(pid, SIGHUP);

    const auto has = [&](const std::string& part) {
        return servertest::WaitFor([&] { return ReadText(log).find(part) != std::string::npos; });
    };
    ASSERT_TRUE(has("listening metrics=")) << ReadText(log);
    EXPECT_TRUE(has("catalogue reloaded (SIGHUP): 4 tips")) << ReadText(log);
    const std::string text = ReadText(log);
    EXPECT_TRUE(std::regex_search(text, std::regex("limits: descriptors=\\d+ \\(soft was \\d+, hard \\d+\\) "
                                                   "query_connections=\\d+ picture_connections=\\d+")))
        << text;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex("listening tips=(127\\.0\\.0\\.1:\\d+)")));
    const std::string query = "query " + m[1].str() + " --pid PRO";
    ASSERT_TRUE(std::regex_search(text, m, std::regex("listening metrics=http://127\\.0\\.0\\.1:(\\d+)")));
    const uint16_t metrics_port = uint16_t(std::stoi(m[1]));
    const auto metric = [&](const std::string& sample) {
        const std::string page = HttpGet(metrics_port, "/metrics");
        const size_t at = page.find("\n" + sample + " ");
        return at == std::string::npos ? -1 : std::stod(page.substr(at + sample.size() + 2));
    };
    const std::string answered = "tipserver_queries_total{outcome=\"answered\"}";
    const double before[] = {metric(answered), metric("tipserver_tips_sent_total"),
                             metric("tipserver_catalogue_generation"), metric("tipserver_query_duration_seconds_count")};
    EXPECT_GE(before[0], 0);

    EXPECT_NE(HttpGet(http_port, "/banner.jpg").find("Content-Type: image/jpeg"), std::string::npos);
    EXPECT_EQ(HttpGet(http_port, "/catalogue.json").rfind("HTTP/1.1 404", 0), 0u);  // only the catalogue's pictures

    std::ofstream(catalogue, std::ios::trunc) << "{\"panel_interval_minutes\": 30, \"tips\": [ broken";
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(has("refused"));
    EXPECT_NE(RunProgram(query).second.find("records: 4 sent"), std::string::npos);
    EXPECT_TRUE(servertest::WaitFor([&] { return metric(answered) == before[0] + 1; }));
    EXPECT_EQ(metric("tipserver_tips_sent_total"), before[1] + 4);
    EXPECT_EQ(metric("tipserver_query_duration_seconds_count"), before[3] + 1);
    EXPECT_EQ(metric("tipserver_catalogue_reload_failures_total"), 1);

    auto changed = servertest::json::parse(ReadText(TIPSERVER_SAMPLE "/catalogue.json"));
    changed["tips"].erase(0);
    std::ofstream(catalogue, std::ios::trunc) << changed;
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(has("catalogue reloaded (SIGHUP): 3 tips"));
    EXPECT_NE(RunProgram(query).second.find("records: 3 sent"), std::string::npos);
    EXPECT_EQ(metric("tipserver_catalogue_generation"), before[2] + 1);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(has("stopped"));
}

TEST(EndToEnd, CommandsExitCodes) {
    coretest::ScratchFolder folder;
    auto bad = servertest::json::parse(ReadText(TIPSERVER_SAMPLE "/catalogue.json"));
    bad["tips"][0]["title"] = "这是一个非常非常非常非常非常长的标题文字啊";  // 21 characters, 42 bytes
    std::ofstream(folder.File("bad.json")) << bad.dump();
    const struct {
        std::string arguments;
        int exit_code;
        std::vector<std::string> says;
    } rows[] = {
        {"check " + folder.File("bad.json"), 2,
         {"tip 1001: title: 42 bytes in CP936, at most 40", "tip 1002: picture: no file",
          "catalogue refused: 3 problems"}},  // and tip 1001's picture, not beside it
        {"serve --catalogue " + folder.File("none.json") + " --listen 127.0.0.1:0 --http-listen 127.0.0.1:0", 2,
         {"cannot read"}},
        {"query 127.0.0.1:" + std::to_string(FreePort()), 3, {"cannot connect"}},
    };
    for (const auto& row : rows) {
        const auto [code, out] = RunProgram(row.arguments);
        EXPECT_EQ(code, row.exit_code) << row.arguments << "\n" << out;
        for (const auto& part : row.says) EXPECT_NE(out.find(part), std::string::npos) << part << " in\n" << out;
    }
}

}  // namespace
