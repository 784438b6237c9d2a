// tipserver check FILE: a line per tip when the catalogue is sound, every
// problem otherwise.
#include <cstdio>
#include <ctime>

#include "catalogue.h"
#include "command_line.h"
#include "time_value.h"

namespace tipserver {
namespace {

std::string Shorten(const std::string& text, size_t max) {
    if (text.size() <= max) return text;
    size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // whole UTF-8 characters
    return text.substr(0, cut) + "...";
}

std::string Summary(const ServedTip& tip, int64_t now) {
    std::string line = "tip " + std::to_string(tip.id) + ": " + FormatIsoTime(tip.begin) + " .. " +
                       FormatIsoTime(tip.end);
    if (now > tip.end) line += " (expired)";
    if (now < tip.begin) line += " (not yet valid)";
    line += ", " + std::to_string(tip.wire.size()) + " bytes";
    if (!tip.picture_url.empty()) line += ", picture " + tip.picture_url;
    if (tip.button_count != 0)
        line += ", " + std::to_string(tip.button_count) + (tip.button_count == 1 ? " button" : " buttons");
    if (tip.show_first) line += ", show first";
    if (!tip.pids.empty()) {
        line += ", for";
        for (const std::string& pid : tip.pids) line += " " + pid;
    }
    if (!tip.title.empty()) line += ", \"" + Shorten(tip.title, 40) + "\"";
    if (!tip.text.empty()) line += ", \"" + Shorten(tip.text, 60) + "\"";
    return line;
}

}  // namespace

int RunCheck(int argc, char** argv) {
    CommandLine args;
    std::string error;
    if (!ParseCommandLine(argc, argv, 2, {"encoding", "public-url"}, args, error) || args.positional.size() != 1) {
        std::fprintf(stderr, "tipserver check: %s\n", error.empty() ? "give one catalogue file" : error.c_str());
        return 1;
    }
    CatalogueOptions options;
    options.encoding = args.Get("encoding", options.encoding);
    options.public_url = args.Get("public-url", options.public_url);
    options.now = static_cast<int64_t>(std::time(nullptr));
    const CatalogueLoad load = LoadCatalogueFile(args.positional[0], options);
    if (!load.catalogue) {
        for (const CatalogueProblem& problem : load.problems) std::printf("%s\n", problem.ToString().c_str());
        std::printf("catalogue refused: %zu problems\n", load.problems.size());
        return 2;
    }
    for (const ServedTip& tip : load.catalogue->tips) std::printf("%s\n", Summary(tip, options.now).c_str());
    std::printf("catalogue OK: %zu tips, %zu pictures, panel interval %u minutes, encoding %s\n",
                load.catalogue->tips.size(), load.catalogue->pictures.size(),
                load.catalogue->panel_interval_minutes, options.encoding.c_str());
    return 0;
}

}  // namespace tipserver
