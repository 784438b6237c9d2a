// tipserver serve: answers queries and serves pictures until SIGINT or
// SIGTERM; SIGHUP, or a change of the files, reloads the catalogue.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include "catalogue_source.h"
#include "catalogue_watch.h"
#include "command_line.h"
#include "connection_caps.h"
#include "host_port.h"
#include "http_server.h"
#include "log_sink.h"
#include "metrics_page.h"
#include "net.h"
#include "picture_handler.h"
#include "tips_server.h"
#include "trouble_summary.h"

namespace tipserver {
namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(1000);
constexpr int kSummaryEveryLooks = 5;  // seconds

bool IsWildcard(const std::string& host) { return host == "0.0.0.0" || host == "::"; }

// A query port and the code page of its clients.
struct QueryListen {
    HostPort address;
    std::string encoding;
};

struct ServeOptions {
    std::vector<QueryListen> listens;
    HostPort http_listen;
    std::optional<HostPort> metrics_listen;
    unsigned threads = 0;
    ConnectionCaps caps;
    std::chrono::milliseconds query_timeout{10000};
    std::chrono::milliseconds http_timeout{10000};
    std::chrono::milliseconds keep_alive{5000};
    size_t log_queue_bytes = kDefaultLogQueueBytes;
};

bool ReadOptions(const CommandLine& args, ServeOptions& out) {
    // "HOST:PORT" in the default code page, "HOST:PORT=CP1252" in its own.
    std::vector<std::string> listens = args.All("listen");
    if (listens.empty()) listens.push_back("127.0.0.1:5200");
    for (const std::string& listen : listens) {
        const size_t equals = listen.find('=');
        const auto address = ParseHostPort(listen.substr(0, equals));
        if (!address || (equals != std::string::npos && equals + 1 == listen.size())) return false;
        out.listens.push_back(
            {*address, equals == std::string::npos ? args.Get("encoding", "CP936") : listen.substr(equals + 1)});
    }
    const auto http_listen = ParseHostPort(args.Get("http-listen", "127.0.0.1:8080"));
    if (!http_listen) return false;
    out.http_listen = *http_listen;
    if (args.Has("metrics-listen")) {
        out.metrics_listen = ParseHostPort(args.Get("metrics-listen", ""));
        if (!out.metrics_listen) return false;
    }
    struct NumberOption {
        const char* name;
        unsigned long long max;
        unsigned long long value;
    };
    NumberOption numbers[] = {{"threads", 256, 0},
                              {"max-connections", 1000000, out.caps.query},
                              {"max-http-connections", 1000000, out.caps.picture},
                              {"query-timeout", 3600, 10},
                              {"http-timeout", 3600, 10},
                              {"keep-alive", 3600, 5},
                              {"log-queue-kib", 1024 * 1024, out.log_queue_bytes / 1024}};
    for (NumberOption& number : numbers) {
        if (args.Has(number.name) &&
            (!ParseNumber(args.Get(number.name, ""), number.max, number.value) ||
             (number.value == 0 && number.name != std::string("threads") && number.name != std::string("keep-alive"))))
            return false;
    }
    out.threads = static_cast<unsigned>(numbers[0].value);
    out.caps.query = numbers[1].value;
    out.caps.picture = numbers[2].value;
    out.query_timeout = std::chrono::seconds(numbers[3].value);
    out.http_timeout = std::chrono::seconds(numbers[4].value);
    out.keep_alive = std::chrono::seconds(numbers[5].value);
    out.log_queue_bytes = static_cast<size_t>(numbers[6].value) * 1024;
    return true;
}

// Runs until a stop signal, handing SIGHUPs to the catalogue's own thread,
// and writes the summary of unanswered connections every few seconds.
void RunUntilStopped(asio::io_context& control, asio::signal_set& signals, CatalogueWatch& watch,
                     TroubleSummary& trouble, LogSink& log) {
    std::function<void(const error_code&, int)> on_signal = [&](const error_code& error, int number) {
        if (error) return;
        if (number == SIGHUP) {
            watch.RequestReload();
            signals.async_wait(on_signal);
            return;
        }
        log.Write(std::string("stopping on ") + (number == SIGINT ? "SIGINT" : "SIGTERM"));
        control.stop();
    };
    signals.async_wait(on_signal);

    asio::steady_timer timer(control);
    int looks = 0;
    std::function<void(const error_code&)> on_tick = [&](const error_code& error) {
        if (error) return;
        if (++looks % kSummaryEveryLooks == 0) {
            const std::string line = trouble.TakeLine();
            if (!line.empty()) log.Write(line);
        }
        timer.expires_after(kLookEvery);
        timer.async_wait(on_tick);
    };
    timer.expires_after(kLookEvery);
    timer.async_wait(on_tick);
    control.run();
}

}  // namespace

int RunServe(int argc, char** argv) {
    // First of all: a SIGHUP or SIGTERM from here on waits for the loop
    // below instead of ending the process with its default action.
    asio::io_context control(1);
    asio::signal_set signals(control, SIGINT, SIGTERM, SIGHUP);
    std::signal(SIGPIPE, SIG_IGN);
    const double start_time =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();

    CommandLine args;
    std::string error;
    if (!ParseCommandLine(
            argc, argv, 2,
            {"catalogue", "listen", "http-listen", "metrics-listen", "public-url", "encoding", "threads",
             "max-connections", "max-http-connections", "query-timeout", "http-timeout", "keep-alive", "log-queue-kib"},
            args, error) ||
        !args.positional.empty() || !args.Has("catalogue")) {
        std::fprintf(stderr, "tipserver serve: %s\n", error.empty() ? "--catalogue FILE is required" : error.c_str());
        return 1;
    }
    ServeOptions options;
    if (!ReadOptions(args, options)) {
        std::fputs(
            "tipserver serve: --listen, --http-listen and --metrics-listen take HOST:PORT; --threads, "
            "--max-connections, --max-http-connections, --query-timeout, --http-timeout, --keep-alive and "
            "--log-queue-kib a number\n",
            stderr);
        return 1;
    }
    if (!args.Has("public-url") && IsWildcard(options.http_listen.host)) {
        std::fputs(
            "tipserver serve: with --http-listen on every address, say --public-url (the address clients "
            "fetch pictures from)\n",
            stderr);
        return 1;
    }
    const DescriptorLimit descriptors = RaiseDescriptorLimit();
    if (!options.metrics_listen) options.caps.metrics = 0;
    // The query ports' loops, the picture port's and the metrics port's. Each
    // query port has the query cap of its own: together they need that many
    // times the descriptors.
    const size_t query_ports = options.listens.size();
    const unsigned event_loops =
        QueryLoops(options.threads) * static_cast<unsigned>(query_ports) + 1 + (options.metrics_listen ? 1 : 0);
    ConnectionCaps wanted = options.caps;
    wanted.query *= query_ports;
    ConnectionCaps caps = FitCaps(wanted, descriptors.soft, event_loops);
    caps.query = std::max<uint64_t>(1, caps.query / query_ports);

    LogSink log(2, options.log_queue_bytes);
    TroubleSummary trouble;
    // Every code page a port answers in; the catalogue is built and checked in each.
    std::vector<std::string> encodings;
    std::vector<size_t> encoding_of_listen;
    for (const QueryListen& listen : options.listens) {
        const auto known = std::find(encodings.begin(), encodings.end(), listen.encoding);
        encoding_of_listen.push_back(static_cast<size_t>(known - encodings.begin()));
        if (known == encodings.end()) encodings.push_back(listen.encoding);
    }
    CatalogueOptions catalogue_options;
    catalogue_options.encoding = encodings[0];
    catalogue_options.more_encodings.assign(encodings.begin() + 1, encodings.end());
    CatalogueSource source(args.Get("catalogue", ""), catalogue_options, log);

    HttpServerConfig picture_config;
    picture_config.name = "picture";
    picture_config.host = options.http_listen.host;
    picture_config.port = options.http_listen.port;
    picture_config.max_connections = caps.picture;
    picture_config.request_timeout = picture_config.write_timeout = options.http_timeout;
    picture_config.idle_timeout = options.keep_alive;
    HttpServer pictures(picture_config, PictureHandler(source), log, trouble);
    if (!pictures.Bind(error)) {
        std::fprintf(stderr, "tipserver serve: %s\n", error.c_str());
        return 3;
    }
    HostPort http_bound = options.http_listen;
    http_bound.port = pictures.LocalPort();
    const std::string public_url = args.Get("public-url", "http://" + http_bound.ToString());
    source.SetPublicUrl(public_url);

    std::vector<CatalogueProblem> problems;
    if (!source.LoadInitial(problems)) {
        for (const CatalogueProblem& problem : problems) std::fprintf(stderr, "%s\n", problem.ToString().c_str());
        std::fprintf(stderr, "tipserver serve: catalogue refused, %zu problems\n", problems.size());
        return 2;
    }

    // One server per query port, each in its code page.
    std::vector<std::unique_ptr<TipsServer>> tips;
    std::vector<const TipsServer*> tips_ports;
    for (size_t i = 0; i < options.listens.size(); ++i) {
        TipsServerConfig config;
        config.host = options.listens[i].address.host;
        config.port = options.listens[i].address.port;
        config.threads = options.threads;
        config.query_timeout = config.write_timeout = options.query_timeout;
        config.max_connections = caps.query;
        config.encoding = encoding_of_listen[i];
        tips.push_back(std::make_unique<TipsServer>(config, source, log, trouble));
        tips_ports.push_back(tips.back().get());
        if (!tips.back()->Bind(error)) {
            std::fprintf(stderr, "tipserver serve: %s\n", error.c_str());
            return 3;
        }
    }

    std::unique_ptr<HttpServer> metrics;
    if (options.metrics_listen) {
        HttpServerConfig metrics_config;
        metrics_config.name = "metrics";
        metrics_config.host = options.metrics_listen->host;
        metrics_config.port = options.metrics_listen->port;
        metrics_config.max_connections = caps.metrics;
        metrics_config.log_requests = false;
        metrics = std::make_unique<HttpServer>(
            metrics_config, MetricsHandler({tips_ports, pictures, source, log, start_time}), log, trouble);
        if (!metrics->Bind(error)) {
            std::fprintf(stderr, "tipserver serve: %s\n", error.c_str());
            return 3;
        }
    }

    const auto catalogue = source.Current();
    log.Write("catalogue loaded: " + std::to_string(catalogue->tips.size()) + " tips, " +
              std::to_string(catalogue->pictures.size()) + " pictures, panel interval " +
              std::to_string(catalogue->panel_interval_minutes) + " minutes");
    log.Write("limits: descriptors=" + std::to_string(descriptors.soft) + " (soft was " +
              std::to_string(descriptors.soft_before) + ", hard " + std::to_string(descriptors.hard) +
              ") query_connections=" + std::to_string(caps.query) + " picture_connections=" +
              std::to_string(caps.picture) + " metrics_connections=" + std::to_string(caps.metrics) +
              " query_timeout_s=" + std::to_string(options.query_timeout.count() / 1000) +
              " http_header_bytes=" + std::to_string(picture_config.header_limit) +
              " http_timeout_s=" + std::to_string(options.http_timeout.count() / 1000) +
              " keep_alive_s=" + std::to_string(options.keep_alive.count() / 1000) +
              " log_queue_kib=" + std::to_string(options.log_queue_bytes / 1024));
    for (size_t i = 0; i < tips.size(); ++i)
        log.Write("listening tips=" + tips[i]->LocalAddress() + " encoding=" + options.listens[i].encoding);
    log.Write("listening pictures=http://" + http_bound.ToString() + " public_url=" + public_url);
    if (metrics) {
        HostPort metrics_bound = *options.metrics_listen;
        metrics_bound.port = metrics->LocalPort();
        log.Write("listening metrics=http://" + metrics_bound.ToString() + "/metrics");
    }
    log.Flush();

    CatalogueWatch watch(source, kLookEvery);
    pictures.Start();
    for (auto& port : tips) port->Start();
    if (metrics) metrics->Start();
    watch.Start();
    RunUntilStopped(control, signals, watch, trouble, log);
    watch.Stop();
    if (metrics) metrics->Stop();
    for (auto& port : tips) port->Stop();
    pictures.Stop();
    const std::string last = trouble.TakeLine();
    if (!last.empty()) log.Write(last);
    log.Write("stopped");
    return 0;
}

}  // namespace tipserver
