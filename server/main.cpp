// tipserver: serves tips to the clients, checks catalogues, and asks a
// server what a client would get.
#include <cstdio>
#include <cstring>

#include "command_line.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  tipserver serve --catalogue FILE [--listen 127.0.0.1:5200[=CODEPAGE]]... [--http-listen 127.0.0.1:8080]\n"
    "                  [--public-url http://HOST:PORT] [--encoding CP936] [--threads N]\n"
    "                  [--metrics-listen HOST:PORT] [--max-connections 10000] [--max-http-connections 1024]\n"
    "                  [--query-timeout 10] [--http-timeout 10] [--keep-alive 5] [--log-queue-kib 1024]\n"
    "  tipserver check FILE [--encoding CP936] [--public-url http://HOST:PORT]\n"
    "  tipserver query HOST:PORT [--user U] [--pid P] [--last-time N] [--message-id N] [--encoding CP936]\n"
    "  tipserver --version\n";

}  // namespace

int main(int argc, char** argv) {
    // "tipserver serve --help" and the like: the usage, not an option error.
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (argc >= 2) {
        if (std::strcmp(argv[1], "serve") == 0) return tipserver::RunServe(argc, argv);
        if (std::strcmp(argv[1], "check") == 0) return tipserver::RunCheck(argc, argv);
        if (std::strcmp(argv[1], "query") == 0) return tipserver::RunQuery(argc, argv);
        if (std::strcmp(argv[1], "--version") == 0) {
            std::printf("tipserver %s\n", TIPRELAY_VERSION);
            return 0;
        }
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    std::fputs(kUsage, stderr);
    return 1;
}
