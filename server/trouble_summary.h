// Connections that were refused, timed out or malformed, folded into one
// log line every few seconds (counts by kind, the busiest peer addresses):
// a flood of junk must not become a flood of log lines. Safe from any
// thread; only the bad path takes its lock.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tipserver {

class TroubleSummary {
  public:
    // `kind` is a short fixed word ("timed_out"); `address` the peer's
    // address without its port, or empty when there is no peer (a failed
    // accept).
    void Record(const char* kind, const std::string& address);

    // The line for what was recorded since the last call, or empty; starts
    // a new window.
    std::string TakeLine();

  private:
    static constexpr size_t kMaxPeers = 4096;
    static constexpr size_t kTopPeers = 5;

    std::mutex mutex_;
    std::map<std::string, uint64_t> kinds_;
    std::unordered_map<std::string, uint64_t> peers_;
    uint64_t other_peers_ = 0;  // past kMaxPeers addresses
};

}  // namespace tipserver
