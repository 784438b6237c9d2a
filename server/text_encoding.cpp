#include "text_encoding.h"

#include <cerrno>
#include <cstdio>

namespace tipserver {
namespace {

// The code point that starts at `pos` of a UTF-8 text (which the JSON
// parser has already checked), for error messages.
unsigned CodePointAt(const std::string& s, size_t pos) {
    const auto byte = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
    const unsigned b0 = byte(pos);
    if (b0 < 0x80) return b0;
    if ((b0 & 0xE0) == 0xC0) return ((b0 & 0x1F) << 6) | (byte(pos + 1) & 0x3F);
    if ((b0 & 0xF0) == 0xE0) return ((b0 & 0x0F) << 12) | ((byte(pos + 1) & 0x3F) << 6) | (byte(pos + 2) & 0x3F);
    return ((b0 & 0x07) << 18) | ((byte(pos + 1) & 0x3F) << 12) | ((byte(pos + 2) & 0x3F) << 6) |
           (byte(pos + 3) & 0x3F);
}

}  // namespace

TextEncoder::TextEncoder(const std::string& encoding, bool reverse)
    : name_(encoding),
      handle_(reverse ? iconv_open("UTF-8", encoding.c_str()) : iconv_open(encoding.c_str(), "UTF-8")),
      reverse_(reverse) {}

TextEncoder::~TextEncoder() {
    if (IsValid()) iconv_close(handle_);
}

bool TextEncoder::Convert(const std::string& source, std::string& out, std::string& error) {
    out.clear();
    if (!IsValid()) {
        error = "unknown encoding " + name_;
        return false;
    }
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    char* in = const_cast<char*>(source.data());
    size_t in_left = source.size();
    char chunk[256];
    while (in_left > 0) {
        char* dst = chunk;
        size_t dst_left = sizeof chunk;
        const size_t rc = iconv(handle_, &in, &in_left, &dst, &dst_left);
        const int failure = rc == static_cast<size_t>(-1) ? errno : 0;
        out.append(chunk, dst - chunk);
        if (failure == 0 || failure == E2BIG) continue;
        const size_t pos = source.size() - in_left;
        char text[96];
        if (failure == EILSEQ && reverse_) {
            std::snprintf(text, sizeof text, "byte %zu is no %s character", pos, name_.c_str());
        } else if (failure == EILSEQ) {
            std::snprintf(text, sizeof text, "character U+%04X at byte %zu has no %s form", CodePointAt(source, pos),
                          pos, name_.c_str());
        } else {
            std::snprintf(text, sizeof text, "incomplete character at byte %zu", pos);
        }
        error = text;
        return false;
    }
    char* dst = chunk;
    size_t dst_left = sizeof chunk;
    iconv(handle_, nullptr, nullptr, &dst, &dst_left);  // flush a final shift sequence
    out.append(chunk, dst - chunk);
    return true;
}

}  // namespace tipserver
