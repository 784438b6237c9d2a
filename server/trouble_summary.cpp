#include "trouble_summary.h"

#include <algorithm>
#include <vector>

namespace tipserver {

void TroubleSummary::Record(const char* kind, const std::string& address) {
    std::lock_guard<std::mutex> guard(mutex_);
    ++kinds_[kind];
    if (address.empty()) return;
    const auto it = peers_.find(address);
    if (it != peers_.end()) {
        ++it->second;
    } else if (peers_.size() < kMaxPeers) {
        peers_.emplace(address, 1);
    } else {
        ++other_peers_;
    }
}

std::string TroubleSummary::TakeLine() {
    std::map<std::string, uint64_t> kinds;
    std::unordered_map<std::string, uint64_t> peers;
    uint64_t other = 0;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        kinds.swap(kinds_);
        peers.swap(peers_);
        std::swap(other, other_peers_);
    }
    if (kinds.empty()) return {};
    std::string line = "connections not answered:";
    for (const auto& kind : kinds) line += " " + kind.first + "=" + std::to_string(kind.second);
    std::vector<std::pair<std::string, uint64_t>> top(peers.begin(), peers.end());
    const size_t shown = std::min(top.size(), kTopPeers);
    std::partial_sort(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(shown), top.end(),
                      [](const auto& a, const auto& b) {
                          return a.second > b.second || (a.second == b.second && a.first < b.first);
                      });
    if (shown != 0) line += " top_peers=";
    for (size_t i = 0; i < shown; ++i)
        line += (i == 0 ? "" : ",") + top[i].first + "(" + std::to_string(top[i].second) + ")";
    uint64_t rest = other;
    for (size_t i = shown; i < top.size(); ++i) rest += top[i].second;
    if (rest != 0) line += " from_other_peers=" + std::to_string(rest);
    return line;
}

}  // namespace tipserver
