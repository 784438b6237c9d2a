// tipserver serve: answers queries and serves pictures until SIGINT or
// SIGTERM; SIGHUP, or a change of the files, reloads the catalogue.
#include <asio.hpp>

#include <csignal>
#include <cstdio>

#include "catalogue_source.h"
#include "command_line.h"
#include "host_port.h"
#include "log_sink.h"
#include "picture_server.h"
#include "tips_server.h"

namespace tipserver {
namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(1000);

bool IsWildcard(const std::string& host) { return host == "0.0.0.0" || host == "::"; }

// Runs until a stop signal; looks at the catalogue files once a second.
void RunUntilStopped(CatalogueSource& source, LogSink& log) {
    asio::io_context control(1);
    asio::signal_set signals(control, SIGINT, SIGTERM, SIGHUP);
    std::function<void(const asio::error_code&, int)> on_signal = [&](const asio::error_code& error, int number) {
        if (error) return;
        if (number == SIGHUP) {
            source.Reload("SIGHUP");
            signals.async_wait(on_signal);
            return;
        }
        log.Write(std::string("stopping on ") + (number == SIGINT ? "SIGINT" : "SIGTERM"));
        control.stop();
    };
    signals.async_wait(on_signal);

    asio::steady_timer timer(control);
    std::function<void(const asio::error_code&)> on_tick = [&](const asio::error_code& error) {
        if (error) return;
        source.Poll();
        log.Flush();
        timer.expires_after(kLookEvery);
        timer.async_wait(on_tick);
    };
    timer.expires_after(kLookEvery);
    timer.async_wait(on_tick);
    control.run();
}

}  // namespace

int RunServe(int argc, char** argv) {
    CommandLine args;
    std::string error;
    if (!ParseCommandLine(argc, argv, 2,
                          {"catalogue", "listen", "http-listen", "public-url", "encoding", "threads"}, args, error) ||
        !args.positional.empty() || !args.Has("catalogue")) {
        std::fprintf(stderr, "tipserver serve: %s\n", error.empty() ? "--catalogue FILE is required" : error.c_str());
        return 1;
    }
    const auto listen = ParseHostPort(args.Get("listen", "127.0.0.1:5200"));
    const auto http_listen = ParseHostPort(args.Get("http-listen", "127.0.0.1:8080"));
    unsigned long long threads = 0;
    if (!listen || !http_listen || (args.Has("threads") && !ParseNumber(args.Get("threads", ""), 256, threads))) {
        std::fputs("tipserver serve: --listen and --http-listen take HOST:PORT, --threads a number\n", stderr);
        return 1;
    }
    if (!args.Has("public-url") && IsWildcard(http_listen->host)) {
        std::fputs("tipserver serve: with --http-listen on every address, say --public-url (the address clients "
                   "fetch pictures from)\n",
                   stderr);
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);

    LogSink log;
    CatalogueOptions options;
    options.encoding = args.Get("encoding", "CP936");
    CatalogueSource source(args.Get("catalogue", ""), options, log);

    PictureServer pictures(source, log);
    if (!pictures.Bind(http_listen->host, http_listen->port, error)) {
        std::fprintf(stderr, "tipserver serve: %s\n", error.c_str());
        return 3;
    }
    HostPort http_bound = *http_listen;
    http_bound.port = static_cast<uint16_t>(pictures.LocalPort());
    const std::string public_url = args.Get("public-url", "http://" + http_bound.ToString());
    source.SetPublicUrl(public_url);

    std::vector<CatalogueProblem> problems;
    if (!source.LoadInitial(problems)) {
        for (const CatalogueProblem& problem : problems) std::fprintf(stderr, "%s\n", problem.ToString().c_str());
        std::fprintf(stderr, "tipserver serve: catalogue refused, %zu problems\n", problems.size());
        return 2;
    }

    TipsServerConfig config;
    config.host = listen->host;
    config.port = listen->port;
    config.threads = static_cast<unsigned>(threads);
    TipsServer tips(config, source, log);
    if (!tips.Bind(error)) {
        std::fprintf(stderr, "tipserver serve: %s\n", error.c_str());
        return 3;
    }
    const auto catalogue = source.Current();
    log.Write("catalogue loaded: " + std::to_string(catalogue->tips.size()) + " tips, " +
              std::to_string(catalogue->pictures.size()) + " pictures, panel interval " +
              std::to_string(catalogue->panel_interval_minutes) + " minutes");
    log.Write("listening tips=" + tips.LocalAddress());
    log.Write("listening pictures=http://" + http_bound.ToString() + " public_url=" + public_url);
    log.Flush();

    pictures.Start();
    tips.Start();
    RunUntilStopped(source, log);
    tips.Stop();
    pictures.Stop();
    log.Write("stopped");
    log.Flush();
    return 0;
}

}  // namespace tipserver
