#include "connection_caps.h"

#include <sys/resource.h>

#include <algorithm>

namespace tipserver {

DescriptorLimit RaiseDescriptorLimit() {
    DescriptorLimit limit;
    rlimit rl{};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0) return limit;
    limit.soft_before = limit.soft = rl.rlim_cur;
    limit.hard = rl.rlim_max;
    if (rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &rl) == 0) limit.soft = rl.rlim_cur;
    }
    return limit;
}

ConnectionCaps FitCaps(ConnectionCaps wanted, uint64_t descriptors, uint64_t event_loops) {
    const uint64_t reserved = kReservedDescriptors + kDescriptorsPerLoop * event_loops;
    const uint64_t room = descriptors > reserved + 3 ? descriptors - reserved : 3;
    const uint64_t total = wanted.query + wanted.picture + wanted.metrics;
    if (total <= room) return wanted;
    const double share = static_cast<double>(room) / static_cast<double>(total);
    auto scale = [share](uint64_t cap) {
        return cap == 0 ? 0 : std::max<uint64_t>(1, static_cast<uint64_t>(static_cast<double>(cap) * share));
    };
    return {scale(wanted.query), scale(wanted.picture), scale(wanted.metrics)};
}

}  // namespace tipserver
