// Catalogue times: ISO 8601 with a zone ("2024-05-01T08:00:00Z",
// "2024-05-01T16:00+08:00", "2024-05-01" for midnight UTC) or whole epoch
// seconds. Clients compare times as signed 32-bit seconds, so a time must
// lie after 1970-01-01 and before 2038-01-19.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tipserver {

// Parses an ISO 8601 time into epoch seconds; nullopt when the text is not
// one of the accepted forms or names no zone.
std::optional<int64_t> ParseIsoTime(const std::string& text);

// "2024-05-01T08:00:00Z" for the given epoch seconds.
std::string FormatIsoTime(int64_t seconds);

}  // namespace tipserver
