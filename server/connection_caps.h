// How many connections each port may hold: what the operator asks for,
// within what the process may open. The descriptor limit is raised to its
// hard limit first (the soft limit of a service is often 1024).
#pragma once

#include <cstdint>
#include <string>

namespace tipserver {

struct DescriptorLimit {
    uint64_t soft_before = 0;
    uint64_t soft = 0;
    uint64_t hard = 0;
};

DescriptorLimit RaiseDescriptorLimit();

struct ConnectionCaps {
    uint64_t query = 10000;
    uint64_t picture = 1024;
    uint64_t metrics = 16;
};

// Descriptors kept for everything but client connections: listening
// sockets, event loops, the log, catalogue reloads.
constexpr uint64_t kReservedDescriptors = 64;

// The caps scaled down alike when together they would need more
// descriptors than `descriptors` allows; each port keeps at least one.
ConnectionCaps FitCaps(ConnectionCaps wanted, uint64_t descriptors);

}  // namespace tipserver
