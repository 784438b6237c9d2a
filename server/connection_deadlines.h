// The deadlines of the connections of one event loop, checked by one
// coarse periodic sweep rather than a timer per connection: arming and
// cancelling a timer for every short exchange would cost system calls that
// a busy server feels. Used from its loop's thread only.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <vector>

namespace tipserver {

class QueryConnection;

class ConnectionDeadlines {
  public:
    using Clock = std::chrono::steady_clock;

    void Add(QueryConnection* connection);
    void Remove(QueryConnection* connection);
    size_t Size() const { return connections_.size(); }

    // Connections whose deadline has passed at `now`.
    std::vector<QueryConnection*> Due(Clock::time_point now) const;

    // The connection to close for a new one at a full port, or null: one
    // that has its answer and only waits for its client to close (the one
    // answered first), else the one that has waited longest for its query.
    // Connections being answered are never chosen.
    QueryConnection* ToMakeWay() const;

    // Connections of this loop that have their answer and only wait for
    // their client to close: another loop that is full reads it to find one.
    std::atomic<size_t> answered_open{0};

  private:
    std::vector<QueryConnection*> connections_;
};

}  // namespace tipserver
