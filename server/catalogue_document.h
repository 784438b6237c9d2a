// The catalogue JSON read into plain fields, still in UTF-8: the first of
// the two loading steps (the second converts and encodes the tips).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue.h"

namespace tipserver {

struct CatalogueButtonEntry {
    std::string caption;
    std::string action;
    std::string url;
};

struct CatalogueEntry {
    size_t position = 0;   // 1-based place in the "tips" list
    bool usable = true;    // false once a field of it was refused
    bool readable = true;  // false when it is not even an object
    std::optional<uint32_t> id;
    uint8_t style = 0;
    int32_t show_seconds = 10;
    std::optional<int32_t> begin;
    std::optional<int32_t> end;
    std::optional<int32_t> updated;
    std::string picture;
    std::string text;
    std::string title;
    std::string link;
    bool show_first = false;
    std::vector<CatalogueButtonEntry> buttons;
    std::vector<std::string> pids;

    // "tip 12", or "tip #3" while the id is unknown.
    std::string Name() const;
};

struct CatalogueDocument {
    std::optional<uint32_t> panel_interval_minutes;
    std::vector<CatalogueEntry> entries;
};

// Reads the JSON; every type or range fault goes into `problems`.
CatalogueDocument ReadCatalogueDocument(const std::string& json_text, std::vector<CatalogueProblem>& problems);

}  // namespace tipserver
