#include "time_value.h"

#include <cctype>
#include <cstdio>

namespace tipserver {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int64_t y, unsigned m) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads exactly `width` digits at `pos`.
bool Digits(const std::string& s, size_t& pos, size_t width, int& out) {
    if (pos + width > s.size()) return false;
    int value = 0;
    for (size_t i = 0; i < width; ++i) {
        const char c = s[pos + i];
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    pos += width;
    out = value;
    return true;
}

bool Expect(const std::string& s, size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c) return false;
    ++pos;
    return true;
}

}  // namespace

std::optional<int64_t> ParseIsoTime(const std::string& s) {
    size_t pos = 0;
    int year = 0, month = 0, day = 0;
    if (!Digits(s, pos, 4, year) || !Expect(s, pos, '-') || !Digits(s, pos, 2, month) ||
        !Expect(s, pos, '-') || !Digits(s, pos, 2, day))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || static_cast<unsigned>(day) > DaysInMonth(year, month))
        return std::nullopt;
    int64_t seconds = DaysFromCivil(year, month, day) * 86400;
    if (pos == s.size()) return seconds;  // a plain date is midnight UTC

    if (s[pos] != 'T' && s[pos] != ' ') return std::nullopt;
    ++pos;
    int hour = 0, minute = 0, second = 0;
    if (!Digits(s, pos, 2, hour) || !Expect(s, pos, ':') || !Digits(s, pos, 2, minute))
        return std::nullopt;
    if (pos < s.size() && s[pos] == ':' && !(++pos, Digits(s, pos, 2, second))) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    seconds += hour * 3600 + minute * 60 + second;

    // A time of day without a zone would mean the server's local time: refused.
    if (pos >= s.size()) return std::nullopt;
    if (s[pos] == 'Z') return pos + 1 == s.size() ? std::optional<int64_t>(seconds) : std::nullopt;
    if (s[pos] != '+' && s[pos] != '-') return std::nullopt;
    const int sign = s[pos] == '+' ? 1 : -1;
    ++pos;
    int zone_hours = 0, zone_minutes = 0;
    if (!Digits(s, pos, 2, zone_hours)) return std::nullopt;
    if (pos < s.size() && s[pos] == ':') ++pos;
    if (!Digits(s, pos, 2, zone_minutes) || pos != s.size()) return std::nullopt;
    if (zone_hours > 14 || zone_minutes > 59) return std::nullopt;
    return seconds - sign * (zone_hours * 3600 + zone_minutes * 60);
}

std::string FormatIsoTime(int64_t seconds) {
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    int64_t rest = seconds - days * 86400;
    // Civil date from days (inverse of DaysFromCivil).
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(y), m, d,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

}  // namespace tipserver
