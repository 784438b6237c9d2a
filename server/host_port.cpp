#include "host_port.h"

namespace tipserver {

std::string HostPort::ToString() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<HostPort> ParseHostPort(const std::string& text) {
    HostPort result;
    std::string port;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return std::nullopt;
        result.host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string::npos) return std::nullopt;
        result.host = text.substr(0, colon);
        port = text.substr(colon + 1);
        // An unbracketed IPv6 address is ambiguous.
        if (result.host.find(':') != std::string::npos) return std::nullopt;
    }
    if (result.host.empty() || port.empty() || port.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) return std::nullopt;
    result.port = static_cast<uint16_t>(value);
    return result;
}

}  // namespace tipserver
