// Helpers for the tips server's tests: catalogues built from JSON, with
// their pictures in a scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

#include "catalogue.h"
#include "core_test_support.h"

namespace servertest {

using nlohmann::json;

// 2024-05-01T00:00:00Z: inside every window the helpers make.
constexpr int64_t kNow = 1714521600;

// The smallest file a client takes for a GIF picture.
inline std::vector<uint8_t> GifBytes() {
    const std::string bytes = "GIF89a\x01\x00\x01\x00\x00\x00\x00;";
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// A tip valid from 2024-01-01 to 2030-01-01 with a short text.
inline json Tip(uint32_t id) {
    return {{"id", id}, {"begin", "2024-01-01T00:00:00Z"}, {"end", "2030-01-01T00:00:00Z"}, {"text", "a tip"}};
}

inline json CatalogueJson(const json& tips, uint32_t interval = 30) {
    return {{"panel_interval_minutes", interval}, {"tips", tips}};
}

// Braces around one json value would copy it rather than make a list.
inline json CatalogueJson(std::initializer_list<json> tips, uint32_t interval = 30) {
    json list = json::array();
    for (const json& tip : tips) list.push_back(tip);
    return CatalogueJson(list, interval);
}

inline tipserver::CatalogueLoad Load(const json& catalogue, const std::string& dir = ".", int64_t now = kNow) {
    tipserver::CatalogueOptions options;
    options.public_url = "http://tips.example:8080";
    options.now = now;
    return tipserver::ParseCatalogue(catalogue.dump(), dir, options);
}

// The catalogue, which the test needs to load without problems.
inline std::shared_ptr<const tipserver::Catalogue> MustLoad(const json& catalogue, const std::string& dir = ".") {
    tipserver::CatalogueLoad load = Load(catalogue, dir);
    std::string problems;
    for (const auto& p : load.problems) problems += p.ToString() + "\n";
    EXPECT_TRUE(load.catalogue) << problems;
    return load.catalogue;
}

}  // namespace servertest
