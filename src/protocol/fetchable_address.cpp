#include "protocol/fetchable_address.h"

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool AfterPrefix(std::string_view address, std::string_view prefix) {
    return StartsWithNoCase(address, prefix) && address.size() > prefix.size();
}

}  // namespace

bool IsFetchableAddress(std::string_view address) {
    return AfterPrefix(address, "http://") || AfterPrefix(address, "https://");
}
