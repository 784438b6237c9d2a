// Converts the catalogue's UTF-8 texts into the clients' ANSI code page.
// Clients store texts as byte strings of that code page, so every limit is
// checked on the converted bytes.
#pragma once

#include <iconv.h>

#include <string>

namespace tipserver {

class TextEncoder {
public:
    // `encoding` is an iconv name such as "CP936"; see IsValid(). The
    // reverse direction turns the code page's bytes back into UTF-8.
    explicit TextEncoder(const std::string& encoding, bool reverse = false);
    ~TextEncoder();
    TextEncoder(const TextEncoder&) = delete;
    TextEncoder& operator=(const TextEncoder&) = delete;

    bool IsValid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    const std::string& Name() const { return name_; }

    // Converts `utf8` (or, reversed, the code page's bytes) into `out`. On failure returns false and says why in
    // `error` (for example which character has no form in the code page).
    bool Convert(const std::string& in, std::string& out, std::string& error);

private:
    std::string name_;
    iconv_t handle_;
    bool reverse_;
};

}  // namespace tipserver
