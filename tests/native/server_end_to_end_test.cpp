// The tipserver program as operators run it: signals, reloads, the limits
// line, the metrics port, and the commands with their exit codes.
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <regex>

#include "server_test_support.h"

namespace {

using servertest::json;
using servertest::HttpGet;
using servertest::ReadText;
const std::string kProgram = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tipserver";
const std::string kSample = TIPSERVER_SAMPLE;

std::pair<int, std::string> RunProgram(const std::string& arguments) {
    FILE* pipe = ::popen((kProgram + " " + arguments + " 2>&1").c_str(), "r");
    std::string out;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
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

// A SIGHUP as soon as the picture port listens (before the catalogue is
// loaded), a query, a bad and a good reload, the metrics, and SIGTERM.
TEST(EndToEnd, ServeSurvivesSignalsReloadsAndCountsInItsMetrics) {
    coretest::ScratchFolder folder;
    for (const char* name : {"welcome.gif", "banner.jpg"}) std::filesystem::copy_file(kSample + "/" + name, folder.File(name));
    json sample = json::parse(ReadText(kSample + "/catalogue.json"));
    sample["tips"][0]["style"] = 12;
    const std::string catalogue = folder.File("catalogue.json"), log = folder.File("serve.log");
    std::ofstream(catalogue) << sample;
    const uint16_t http_port = FreePort();
    std::string args[] = {kProgram, "serve", "--catalogue", catalogue, "--listen", "127.0.0.1:0", "--http-listen",
                          "127.0.0.1:" + std::to_string(http_port), "--metrics-listen", "127.0.0.1:0"};
    char* argv[std::size(args) + 1] = {};
    for (size_t i = 0; i < std::size(args); ++i) argv[i] = args[i].data();
    const pid_t pid = ::fork();
    if (pid == 0) {  // with SIGHUP's default action, which ends a process
        ::signal(SIGHUP, SIG_DFL);
        ::dup2(::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ::execv(kProgram.c_str(), argv);
        ::_exit(127);
    }
    ASSERT_TRUE(servertest::WaitFor([&] { return servertest::Socket(http_port).connected; }));
    ::kill(pid, SIGHUP);
    const auto has = [&](const std::string& s) { return servertest::WaitFor([&] { return ReadText(log).find(s) != std::string::npos; }); };
    EXPECT_TRUE(has("catalogue reloaded (SIGHUP): 4 tips")) << ReadText(log);
    ASSERT_TRUE(has("listening metrics=")) << ReadText(log);
    const std::string text = ReadText(log);
    EXPECT_TRUE(std::regex_search(text, std::regex("limits: descriptors=\\d+ \\(soft was \\d+, hard \\d+\\) "
                                                   "query_connections=\\d+ picture_connections=\\d+")));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex("listening tips=(127\\.0\\.0\\.1:\\d+)")));
    const std::string query = "query " + m[1].str() + " --pid PRO";
    ASSERT_TRUE(std::regex_search(text, m, std::regex("listening metrics=http://127\\.0\\.0\\.1:(\\d+)")));
    const auto metric = [port = uint16_t(std::stoi(m[1]))](const std::string& sample) {
        const std::string page = HttpGet(port, "/metrics");
        const size_t at = page.find("\n" + sample + " ");
        return at == std::string::npos ? -1 : std::stod(page.substr(at + sample.size() + 2));
    };
    const std::string answered = "tipserver_queries_total{outcome=\"answered\"}";
    const double before[] = {metric(answered), metric("tipserver_tips_sent_total"),
                             metric("tipserver_catalogue_generation"), metric("tipserver_query_duration_seconds_count")};

    // Every field as the client's decoder reads it, texts back from CP936.
    const std::string pro = RunProgram(query).second;
    for (const std::string& part : std::vector<std::string>{
             "panel interval: 1 minutes\nrecords: 4 sent, 4 kept by a client's store\n",
          "tip 1001: style 12, shown 15 s, 2024-01-01T00:00:00Z .. 2037-12-31T23:59:59Z\n  title: 欢迎 Welcome\n"
          "  text: Tips appear here now and then. 每次启动都会检查新的提示。\n  picture: http://127.0.0.1:" +
              std::to_string(http_port) + "/welcome.gif\n  link: http://www.example.com/tips/welcome\n"
              "  button 1: \"Open\" OPENURL http://www.example.com/tips/welcome\n"
              "  button 2: \"Get it\" DOWNLOAD http://www.example.com/files/sample.zip\n",
          "2037-12-31T23:59:59Z, show first\n"})
        EXPECT_NE(pro.find(part), std::string::npos) << part << " in\n" << pro;
    EXPECT_TRUE(servertest::WaitFor([&] { return metric(answered) == before[0] + 1; }));
    EXPECT_EQ(metric("tipserver_tips_sent_total") + metric("tipserver_query_duration_seconds_count"), before[1] + before[3] + 5);
    EXPECT_NE(HttpGet(http_port, "/banner.jpg").find("Content-Type: image/jpeg"), std::string::npos);
    EXPECT_EQ(HttpGet(http_port, "/catalogue.json").rfind("HTTP/1.1 404", 0), 0u);  // only the catalogue's pictures

    std::ofstream(catalogue, std::ios::trunc) << "{\"panel_interval_minutes\": 30, \"tips\": [ broken";
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(has("refused"));
    EXPECT_NE(RunProgram(query).second.find("records: 4 sent"), std::string::npos);
    EXPECT_EQ(metric("tipserver_catalogue_reload_failures_total"), 1);
    sample["tips"].erase(0);
    std::ofstream(catalogue, std::ios::trunc) << sample;
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(has("catalogue reloaded (SIGHUP): 3 tips"));
    EXPECT_NE(RunProgram(query).second.find("records: 3 sent"), std::string::npos);
    EXPECT_EQ(metric("tipserver_catalogue_generation"), before[2] + 1);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && has("stopped")) << status;
}

TEST(EndToEnd, CommandsSayWhatWentWrongInTheirExitCode) {
    coretest::ScratchFolder folder;
    json bad = json::parse(ReadText(kSample + "/catalogue.json"));
    bad["tips"][0]["title"] = "这是一个非常非常非常非常非常长的标题文字啊";  // 21 characters, 42 bytes
    std::ofstream(folder.File("bad.json")) << bad;
    const std::pair<std::string, int> rows[] = {
        {"check " + kSample + "/catalogue.json", 0},
        {"check " + folder.File("bad.json"), 2},
        {"serve --catalogue " + folder.File("none.json") + " --listen 127.0.0.1:0 --http-listen 127.0.0.1:0", 2},
        {"query 127.0.0.1:1", 3},
    };
    std::string all;
    for (const auto& [arguments, exit_code] : rows) {
        const auto [code, out] = RunProgram(arguments);
        EXPECT_EQ(code, exit_code) << arguments << "\n" << out;
        all += out;
    }
    for (const char* part : {"tip 1001: 2024-01-01T00:00:00Z .. 2037-12-31T23:59:59Z", "catalogue OK: 4 tips, 2 pictures",
                             "tip 1001: title: 42 bytes in CP936, at most 40", "tip 1002: picture: no file",
                             "catalogue refused: 3 problems", "cannot read", "cannot connect"})
        EXPECT_NE(all.find(part), std::string::npos) << part << " in\n" << all;
}

}  // namespace
