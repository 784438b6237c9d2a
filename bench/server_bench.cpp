// bench_server: answered queries per second over loopback, tipserver
// against nginx's stream module returning the same answer bytes, under the
// same load: 64 clients, each connecting, sending a query and reading until
// the server closes, again and again. Prints both rates and their ratio.
//
//   bench_server [--tipserver PATH] [--seconds N] [--clients N] [--rounds N]
//                [--load-threads N] [--metrics on|off]
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "answer.h"
#include "catalogue.h"
#include "protocol/byte_order.h"
#include "protocol/query_new_mess.h"
#include "server_bench_load.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kTips = 20;
const char kNginxModule[] = "/usr/lib/nginx/modules/ngx_stream_module.so";

struct Options {
    std::string tipserver;
    // Short rounds taken in turn, so that other load on the machine falls
    // on both servers alike.
    double seconds = 2;
    int clients = 64;
    int rounds = 7;
    int load_threads = 2;
    bool metrics = false;
};

// Twenty tips as an operator would write them; `salt` moves their times.
json BenchCatalogue(int salt) {
    json tips = json::array();
    for (int i = 0; i < kTips; ++i) {
        const std::string n = std::to_string(i + 1);
        tips.push_back({{"id", 5000 + i},
                        {"show_seconds", 15},
                        {"begin", "2024-01-01T00:00:00Z"},
                        {"end", "2037-01-01T00:00:00Z"},
                        {"updated", 1704067200 + i * 3600 + salt},
                        {"picture", "http://cdn.example.net/tips/picture-" + n + ".gif"},
                        {"title", "Tip number " + n},
                        {"text", "Speed up your downloads: tip " + n + " explains one setting that helps."},
                        {"link", "http://www.example.net/tips/" + n},
                        {"buttons",
                         {{{"caption", "Open"}, {"action", "OPENURL"}, {"url", "http://www.example.net/tips/" + n}},
                          {{"caption", "Get it"}, {"action", "DOWNLOAD"}, {"url", "http://dl.example.net/f" + n + ".zip"}}}}});
    }
    return {{"panel_interval_minutes", 30}, {"tips", tips}};
}

// nginx takes the answer inside a quoted string, where these bytes mean
// something; the catalogue is chosen so that its answer holds none of them.
bool SafeForNginx(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        if (b == '"' || b == '$' || b == '\\') return false;
    return true;
}

std::vector<uint8_t> Answer(const json& catalogue_json, uint32_t sequence) {
    tipserver::CatalogueOptions options;
    options.now = static_cast<int64_t>(std::time(nullptr));
    const auto load = tipserver::ParseCatalogue(catalogue_json.dump(), ".", options);
    std::vector<uint8_t> bytes;
    if (!load.catalogue) return bytes;
    tipserver::AnswerRequest request;
    const auto plan = tipserver::PlanAnswer(*load.catalogue, request, options.now);
    tipserver::EncodeAnswer(*load.catalogue, plan, sequence, bytes);
    return bytes;
}

uint16_t FreePort() {
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

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A child process with its output in a file; stopped with SIGTERM.
class Child {
public:
    Child(std::vector<std::string> args, const fs::path& output) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { Stop(); }
    bool Running() const { return pid_ != 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    void Stop() {
        if (pid_ == 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
};

// nginx keeps one quoted word of its configuration in a 4 KiB buffer, so
// the answer is held in pieces, one variable each, that "return" joins.
void WriteNginxConf(const fs::path& work, uint16_t port, const std::vector<uint8_t>& answer) {
    constexpr size_t kPiece = 3000;
    std::ofstream conf(work / "nginx.conf", std::ios::binary);
    conf << "load_module " << kNginxModule << ";\n"
         << "daemon off;\nworker_processes 2;\npid " << (work / "nginx.pid").string() << ";\n"
         << "error_log " << (work / "nginx-error.log").string() << " warn;\n"
         << "events { worker_connections 4096; }\n"
         << "stream {\n";
    std::string pieces;
    for (size_t at = 0, n = 0; at < answer.size(); at += kPiece, ++n) {
        const size_t size = std::min(kPiece, answer.size() - at);
        conf << "  map $protocol $answer" << n << " { default \"";
        conf.write(reinterpret_cast<const char*>(answer.data() + at), static_cast<std::streamsize>(size));
        conf << "\"; }\n";
        pieces += "$answer" + std::to_string(n);
    }
    conf << "  server { listen 127.0.0.1:" << port << "; return \"" << pieces << "\"; }\n}\n";
}

bool WaitForAnswer(uint16_t port, const std::vector<uint8_t>& query, const std::vector<uint8_t>& expected) {
    for (int i = 0; i < 100; ++i) {
        if (serverbench::ExchangeOnce(port, query) == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string CpuName() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

bool ParseOptions(int argc, char** argv, Options& options) {
    options.tipserver = (fs::read_symlink("/proc/self/exe").parent_path() / "tipserver").string();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--tipserver") options.tipserver = argv[i + 1];
        else if (name == "--seconds") options.seconds = std::atof(argv[i + 1]);
        else if (name == "--clients") options.clients = std::atoi(argv[i + 1]);
        else if (name == "--rounds") options.rounds = std::atoi(argv[i + 1]);
        else if (name == "--load-threads") options.load_threads = std::atoi(argv[i + 1]);
        else if (name == "--metrics") options.metrics = std::string(argv[i + 1]) == "on";
        else return false;
    }
    return (argc % 2) == 1 && options.seconds > 0 && options.clients > 0 && options.rounds > 0 &&
           options.load_threads > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs("usage: bench_server [--tipserver PATH] [--seconds N] [--clients N] [--rounds N] [--load-threads N] "
                   "[--metrics on|off]\n",
                   stderr);
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const fs::path work = fs::temp_directory_path() / ("bench_server." + std::to_string(::getpid()));
    fs::create_directories(work);

    CQueryNewMess query_command;
    query_command.SetLastTime(0, 0);
    query_command.SetQueryParameter("bench-user", "", 0);
    std::vector<uint8_t> query(query_command.GetPacketLength());
    uint32_t length = static_cast<uint32_t>(query.size());
    query_command.Encode(query.data(), length);

    json catalogue;
    std::vector<uint8_t> expected;
    for (int salt = 0; salt < 1000 && (expected.empty() || !SafeForNginx(expected)); ++salt) {
        catalogue = BenchCatalogue(salt);
        expected = Answer(catalogue, query_command.GetSequence());
    }
    if (expected.empty() || !SafeForNginx(expected)) {
        std::fputs("bench_server: no catalogue gave an answer nginx can carry\n", stderr);
        return 1;
    }
    std::ofstream(work / "catalogue.json") << catalogue.dump(2);

    const uint16_t tips_port = FreePort();
    std::vector<std::string> serve = {options.tipserver, "serve", "--catalogue", (work / "catalogue.json").string(),
                                      "--listen", "127.0.0.1:" + std::to_string(tips_port), "--http-listen",
                                      "127.0.0.1:0"};
    if (options.metrics) serve.insert(serve.end(), {"--metrics-listen", "127.0.0.1:0"});
    Child tipserver(serve, work / "tipserver.log");
    if (!WaitForAnswer(tips_port, query, expected)) {
        std::fprintf(stderr, "bench_server: tipserver did not give the expected answer:\n%s\n",
                     ReadText(work / "tipserver.log").c_str());
        return 1;
    }

    const uint16_t nginx_port = FreePort();
    WriteNginxConf(work, nginx_port, expected);
    Child nginx({"nginx", "-p", work.string(), "-e", (work / "nginx-error.log").string(), "-c",
                 (work / "nginx.conf").string()},
                work / "nginx.out");
    if (!WaitForAnswer(nginx_port, query, expected)) {
        std::fprintf(stderr, "bench_server: nginx did not return the same bytes:\n%s%s\n",
                     ReadText(work / "nginx.out").c_str(), ReadText(work / "nginx-error.log").c_str());
        return 1;
    }

    std::printf("machine: %s, %u cores; %d concurrent clients on loopback from %d load threads, %d rounds of %.1f s "
                "each; metrics %s\n",
                CpuName().c_str(), std::thread::hardware_concurrency(), options.clients, options.load_threads,
                options.rounds, options.seconds, options.metrics ? "on" : "off");
    std::printf("answer: %d tips, %zu bytes (query %zu bytes)\n", kTips, expected.size(), query.size());
    serverbench::LoadResult ours, theirs;
    std::vector<double> ratios;
    for (int round = 0; round < options.rounds; ++round) {
        const auto a =
            serverbench::RunLoad(tips_port, query, expected, options.clients, options.seconds, options.load_threads);
        const auto b =
            serverbench::RunLoad(nginx_port, query, expected, options.clients, options.seconds, options.load_threads);
        const double ratio = b.PerSecond() > 0 ? a.PerSecond() / b.PerSecond() : 0;
        std::printf("  round %d: tipserver %7.0f/s (%llu failed), nginx %7.0f/s (%llu failed), ratio %.2f\n", round + 1,
                    a.PerSecond(), static_cast<unsigned long long>(a.failed), b.PerSecond(),
                    static_cast<unsigned long long>(b.failed), ratio);
        ratios.push_back(ratio);
        for (auto [total, r] : {std::pair{&ours, &a}, std::pair{&theirs, &b}}) {
            total->answered += r->answered;
            total->failed += r->failed;
            total->seconds += r->seconds;
        }
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("tipserver:           %9.0f answers/s (%llu failed)\n", ours.PerSecond(),
                static_cast<unsigned long long>(ours.failed));
    std::printf("nginx stream return: %9.0f answers/s (%llu failed)\n", theirs.PerSecond(),
                static_cast<unsigned long long>(theirs.failed));
    // The median of the rounds' ratios: a burst of other load on the
    // machine during one round does not decide it.
    std::printf("ratio tipserver/nginx: %.2f over all rounds, median of rounds %.2f\n",
                theirs.PerSecond() > 0 ? ours.PerSecond() / theirs.PerSecond() : 0, ratios[ratios.size() / 2]);

    tipserver.Stop();
    nginx.Stop();
    fs::remove_all(work);
    return 0;
}
