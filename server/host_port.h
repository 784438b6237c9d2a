// "HOST:PORT" as the command line gives addresses: "127.0.0.1:5200",
// "[::1]:5200", "tips.example.com:5200".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tipserver {

struct HostPort {
    std::string host;  // without brackets
    uint16_t port = 0;

    // Brackets around an IPv6 host.
    std::string ToString() const;
};

// nullopt when there is no port, the port is not a number up to 65535, or
// the host is empty.
std::optional<HostPort> ParseHostPort(const std::string& text);

}  // namespace tipserver
