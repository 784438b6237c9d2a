// NAMED_FIELDS(Row, a, b, c) inside an expectation struct: equality by every field, and a printer that names
// each one ("{a 1, b \"x\", c { 2, 3 }}"). The fields are listed in declaration order; a field left out of
// the list does not compile.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string_view>

namespace named_fields {

template <typename... Values>
void Print(std::ostream* os, std::string_view names, const Values&... values) {
    const char* separator = "{";
    const auto one = [&](const auto& value) {
        const size_t comma = names.find(',');
        *os << separator << names.substr(0, comma) << " " << testing::PrintToString(value);
        names.remove_prefix(comma == names.npos ? names.size() : names.find_first_not_of(' ', comma + 1));
        separator = ", ";
    };
    (one(values), ...);
    *os << "}";
}

}  // namespace named_fields

#define NAMED_FIELDS(Row, ...)                              \
    bool operator==(const Row&) const = default;            \
    friend void PrintTo(const Row& row, std::ostream* os) { \
        const auto& [__VA_ARGS__] = row;                    \
        named_fields::Print(os, #__VA_ARGS__, __VA_ARGS__); \
    }
