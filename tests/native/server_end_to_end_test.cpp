// The tipserver program as operators run it: signals, reloads, the limits
// line, the metrics port, and the commands with their exit codes; and the
// catalogue source that reloads under it.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <regex>

#include "catalogue_source.h"
#include "server_test_support.h"

namespace {

using servertest::HttpGet;
using servertest::json;
using servertest::ReadText;
using servertest::Tip;
const std::string kProgram = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tipserver";
const std::string kSample = TIPSERVER_SAMPLE;

int Tipserver(const std::string& arguments, const std::string& said) {  // the exit code; a failure if `said` is not
    FILE* pipe = ::popen((kProgram + " " + arguments + " 2>&1").c_str(), "r");
    std::string out;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
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

// A SIGHUP as soon as the picture port listens (before the catalogue is loaded), a query,
// a bad and a good reload, the metrics, SIGTERM; then the commands that fail.
TEST(EndToEnd, ServeSurvivesSignalsReloadsAndCountsInItsMetrics) {
    servertest::LogFile log;
    for (const char* name : {"welcome.gif", "banner.jpg"})
        std::filesystem::copy_file(kSample + "/" + name, log.folder.File(name));
    json sample = json::parse(ReadText(kSample + "/catalogue.json"));
    sample["tips"][0]["style"] = 12;
    const std::string catalogue = log.folder.File("catalogue.json"), broken = log.folder.File("broken.json");
    std::ofstream(catalogue) << sample;
    const uint16_t http_port = FreePort();
    const std::string http = "127.0.0.1:" + std::to_string(http_port);
    const pid_t pid = ::fork();
    if (pid == 0) {  // with SIGHUP's default action, which ends a process
        ::signal(SIGHUP, SIG_DFL);
        ::dup2(log.fd, 2);
        ::execl(kProgram.c_str(), "tipserver", "serve", "--catalogue", catalogue.c_str(), "--listen", "127.0.0.1:0",
                "--http-listen", http.c_str(), "--metrics-listen", "127.0.0.1:0", nullptr);
        ::_exit(127);
    }
    ASSERT_TRUE(servertest::WaitFor([&] { return servertest::Socket(http_port).connected; }));
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(log.Has("catalogue reloaded (SIGHUP): 4 tips")) << log.Text();
    ASSERT_TRUE(log.Has("listening metrics=")) << log.Text();
    const std::string text = log.Text();
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

    // Every field as the client's decoder reads it, texts back from CP936.
    EXPECT_EQ(Tipserver(query, "panel interval: 1 minutes\nrecords: 4 sent, 4 kept by a client's store\n"
                               "tip 1001: style 12, shown 15 s, 2024-01-01T00:00:00Z .. 2037-12-31T23:59:59Z\n"
                               "  title: 欢迎 Welcome\n  text: Tips appear here now and then. 每次启动都会检查新的提示。\n"
                               "  picture: http://" + http + "/welcome.gif\n  link: http://www.example.com/tips/welcome\n"
                               "  button 1: \"Open\" OPENURL http://www.example.com/tips/welcome\n"
                               "  button 2: \"Get it\" DOWNLOAD http://www.example.com/files/sample.zip\n"), 0);
    EXPECT_TRUE(servertest::WaitFor([&] { return metric("tipserver_queries_total{outcome=\"answered\"}") == 1; }));
    EXPECT_EQ(metric("tipserver_tips_sent_total") + metric("tipserver_query_duration_seconds_count"), 5);
    EXPECT_NE(HttpGet(http_port, "/banner.jpg").find("Content-Type: image/jpeg"), std::string::npos);
    EXPECT_EQ(HttpGet(http_port, "/catalogue.json").rfind("HTTP/1.1 404", 0), 0u);  // only the catalogue's pictures

    std::ofstream(broken) << "{\"panel_interval_minutes\": 30, \"tips\": [ broken";
    std::filesystem::copy_file(broken, catalogue, std::filesystem::copy_options::overwrite_existing);
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(log.Has("refused"));
    EXPECT_EQ(metric("tipserver_catalogue_reload_failures_total"), 1);
    sample["tips"].erase(0);
    std::ofstream(catalogue, std::ios::trunc) << sample;
    ::kill(pid, SIGHUP);
    EXPECT_TRUE(log.Has("catalogue reloaded (SIGHUP): 3 tips"));
    EXPECT_EQ(metric("tipserver_catalogue_generation"), 3);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && log.Has("stopped")) << status;

    EXPECT_EQ(Tipserver("check " + broken, "catalogue refused: 1 problems"), 2);
    EXPECT_EQ(Tipserver("check --encoding NO-SUCH-CODEPAGE " + catalogue, "catalogue: unknown encoding NO-SUCH-CODEPAGE"), 2);
    EXPECT_EQ(Tipserver("check --public-url tips.example:8080 " + catalogue, "is not http:// or https://"), 2);
    EXPECT_EQ(Tipserver("serve --catalogue " + broken + "x --listen 127.0.0.1:0 --http-listen 127.0.0.1:0", "cannot read"), 2);
    EXPECT_EQ(Tipserver("query 127.0.0.1:1", "cannot connect"), 3);
}

// A good catalogue replaces the one in service once its file has settled, a
// bad one is refused once and the old one stays, an unreadable one is retried.
TEST(CatalogueSource, ReloadsGoodFilesOnlyAndRetriesReadErrors) {
    servertest::LogFile log;
    const std::string path = log.folder.File("catalogue.json");
    const auto write = [&](const json& tips) { std::ofstream(path, std::ios::trunc) << servertest::CatalogueJson(tips); };
    write(json::array({Tip(1)}));
    tipserver::CatalogueSource source(path, tipserver::CatalogueOptions(), log.sink);
    std::vector<tipserver::CatalogueProblem> problems;
    ASSERT_TRUE(source.LoadInitial(problems));
    const auto first = source.Current();

    write({Tip(1), Tip(2, {{"text", std::string(101, 'x')}})});
    source.Reload("SIGHUP");
    source.Poll(), source.Poll();  // the bad file, already tried, is not tried again
    EXPECT_EQ(source.Current(), first);
    EXPECT_TRUE(log.Has("catalogue problem: tip 2: text: 101 bytes in CP936, at most 100\n"));
    EXPECT_TRUE(log.Has("catalogue reload (SIGHUP) refused, 1 problems; still serving the previous catalogue"));
    EXPECT_EQ(log.Text().find("refused"), log.Text().rfind("refused"));

    write({Tip(1), Tip(2)});
    source.Poll();  // seen changing: not yet
    // Out of descriptors (a limit at the lowest free one), the settled file cannot be read.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowest_free = ::open("/dev/null", O_RDONLY);
    ::close(lowest_free);
    rlimit starved{static_cast<rlim_t>(lowest_free), saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &starved), 0);
    source.Poll();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(source.Current(), first);
    EXPECT_TRUE(log.Has("Too many open files"));
    source.Poll();  // tried again at the next look
    EXPECT_EQ(std::make_pair(source.Current()->tips.size(), source.ReloadFailures()), std::make_pair(size_t(2), uint64_t(2)));
    EXPECT_TRUE(log.Has("catalogue reloaded (retry after a read error): 2 tips"));
}

}  // namespace
