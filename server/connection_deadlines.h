// The deadlines of the connections of one event loop, checked by one
// coarse periodic sweep rather than a timer per connection: arming and
// cancelling a timer for every short exchange would cost system calls that
// a busy server feels. Used from its loop's thread only.
#pragma once

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

    // The connection that has waited longest for its query, or null.
    QueryConnection* OldestWaitingForQuery() const;

private:
    std::vector<QueryConnection*> connections_;
};

}  // namespace tipserver
