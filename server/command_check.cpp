// tipserver check FILE: a line per tip when the catalogue is sound, every
// problem otherwise.
#include <cstdio>
#include <ctime>

#include "catalogue.h"
#include "catalogue_changes.h"
#include "command_line.h"
#include "log_sink.h"
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
    std::string line =
        "tip " + std::to_string(tip.id) + ": " + FormatIsoTime(tip.begin) + " .. " + FormatIsoTime(tip.end);
    if (now > tip.end) line += " (expired)";
    if (now < tip.begin) line += " (not yet valid)";
    line += ", stamp " + FormatIsoTime(tip.stamp);
    line += ", " + std::to_string(tip.wire.size()) + " bytes";
    if (!tip.picture_url.empty()) line += ", picture " + EscapeCatalogueText(tip.picture_url);
    if (tip.button_count != 0)
        line += ", " + std::to_string(tip.button_count) + (tip.button_count == 1 ? " button" : " buttons");
    if (tip.show_first) line += ", show first";
    if (!tip.pids.empty()) {
        line += ", for";
        for (const std::string& pid : tip.pids) line += " \"" + EscapeForLog(pid) + "\"";
    }
    if (!tip.title.empty()) line += ", \"" + EscapeCatalogueText(Shorten(tip.title, 40)) + "\"";
    if (!tip.text.empty()) line += ", \"" + EscapeCatalogueText(Shorten(tip.text, 60)) + "\"";
    return line;
}

std::string Count(size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

}  // namespace

int RunCheck(int argc, char** argv) {
    CommandLine args;
    std::string error;
    if (!ParseCommandLine(argc, argv, 2, {"encoding", "public-url", "against"}, args, error) ||
        args.positional.size() != 1) {
        std::fprintf(stderr, "tipserver check: %s\n", error.empty() ? "give one catalogue file" : error.c_str());
        return 1;
    }
    CatalogueOptions options;
    // Several code pages, comma-separated: the catalogue is checked in each.
    std::string encodings = args.Get("encoding", options.encoding);
    for (size_t comma; (comma = encodings.rfind(',')) != std::string::npos; encodings.resize(comma))
        options.more_encodings.insert(options.more_encodings.begin(), encodings.substr(comma + 1));
    options.encoding = encodings;
    options.public_url = args.Get("public-url", options.public_url);
    options.now = static_cast<int64_t>(std::time(nullptr));
    const CatalogueLoad load = LoadCatalogueFile(args.positional[0], options);
    for (const CatalogueProblem& problem : load.problems) std::printf("%s\n", problem.ToString().c_str());
    if (!load.catalogue) {
        std::printf("catalogue refused: %s\n", Count(load.problems.size(), "problem").c_str());
        return 2;
    }
    for (const ServedTip& tip : load.catalogue->tips) std::printf("%s\n", Summary(tip, options.now).c_str());
    std::vector<CatalogueProblem> warnings = load.warnings;
    if (args.Has("against")) {
        // The catalogue in service: what clients may already hold.
        const CatalogueLoad current = LoadCatalogueFile(args.Get("against", ""), options);
        if (!current.catalogue) {
            std::printf("cannot compare: %s is refused (%s)\n", args.Get("against", "").c_str(),
                        Count(current.problems.size(), "problem").c_str());
            return 2;
        }
        const CatalogueChanges changes = CompareCatalogues(*current.catalogue, *load.catalogue, options.now);
        std::printf("against %s: %s\n", args.Get("against", "").c_str(), changes.Summary().c_str());
        warnings.insert(warnings.end(), changes.unreachable.begin(), changes.unreachable.end());
    }
    for (const CatalogueProblem& warning : warnings) std::printf("warning: %s\n", warning.ToString().c_str());
    std::printf("catalogue OK: %s, %s, panel interval %u minutes, encoding %s%s\n",
                Count(load.catalogue->tips.size(), "tip").c_str(),
                Count(load.catalogue->pictures.size(), "picture").c_str(), load.catalogue->panel_interval_minutes,
                args.Get("encoding", options.encoding).c_str(),
                warnings.empty() ? "" : (", " + Count(warnings.size(), "warning")).c_str());
    return 0;
}

}  // namespace tipserver
