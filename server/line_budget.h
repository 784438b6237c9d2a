// At most so many log lines a second for one kind of event, the rest only
// counted: a client that asks as fast as it can must not fill the log queue
// and push other lines out. Used from one thread.
#pragma once

#include <chrono>
#include <cstdint>

namespace tipserver {

class LineBudget {
  public:
    using Clock = std::chrono::steady_clock;

    explicit LineBudget(unsigned per_second) : per_second_(per_second) {}

    // True when a line may be written at `now`; otherwise it is counted.
    bool Take(Clock::time_point now) {
        if (now - window_ >= std::chrono::seconds(1)) {
            window_ = now;
            used_ = 0;
        }
        if (used_ < per_second_) {
            ++used_;
            return true;
        }
        ++skipped_;
        return false;
    }

    // The lines counted since the last call.
    uint64_t TakeSkipped() {
        const uint64_t skipped = skipped_;
        skipped_ = 0;
        return skipped;
    }

  private:
    const unsigned per_second_;
    Clock::time_point window_{};
    unsigned used_ = 0;
    uint64_t skipped_ = 0;
};

}  // namespace tipserver
