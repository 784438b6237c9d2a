#include "http_conditional.h"

#include <cstdio>
#include <ctime>

namespace tipserver {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string ContentTag(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char tag[24];
    std::snprintf(tag, sizeof tag, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return tag;
}

std::string HttpDate(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    tm parts{};
    gmtime_r(&t, &parts);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

bool NotModified(std::string_view if_none_match, std::string_view if_modified_since, const std::string& etag,
                 int64_t last_modified) {
    if (!if_none_match.empty()) {
        // A list of tags; a cache may send them weak ("W/"), and the
        // comparison for this header is the weak one.
        while (!if_none_match.empty()) {
            const size_t comma = if_none_match.find(',');
            std::string_view tag = Trimmed(if_none_match.substr(0, comma));
            if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
            if (tag == "*" || tag == etag) return true;
            if_none_match = comma == std::string_view::npos ? std::string_view() : if_none_match.substr(comma + 1);
        }
        return false;
    }
    if (if_modified_since.empty() || last_modified <= 0) return false;
    tm parts{};
    const std::string date(Trimmed(if_modified_since));
    const char* end = strptime(date.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return end != nullptr && *end == '\0' && static_cast<int64_t>(timegm(&parts)) >= last_modified;
}

}  // namespace tipserver
