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

// Descriptors kept for everything but client connections: standard
// streams, the log, the signal loop, catalogue reloads, with room to spare;
// and for each event loop, its poller, wake-up, timer and listening socket.
constexpr uint64_t kReservedDescriptors = 32;
constexpr uint64_t kDescriptorsPerLoop = 4;

// The caps scaled down alike when together they would need more
// descriptors than `descriptors` allows, beside the reserve for
// `event_loops`; each open port (cap above 0) keeps at least one.
ConnectionCaps FitCaps(ConnectionCaps wanted, uint64_t descriptors, uint64_t event_loops);

}  // namespace tipserver
