#include "connection_deadlines.h"

#include <algorithm>

#include "query_connection.h"

namespace tipserver {

void ConnectionDeadlines::Add(QueryConnection* connection) {
    connection->deadline_slot_ = connections_.size();
    connections_.push_back(connection);
}

void ConnectionDeadlines::Remove(QueryConnection* connection) {
    const size_t slot = connection->deadline_slot_;
    if (slot >= connections_.size() || connections_[slot] != connection) return;
    connections_[slot] = connections_.back();
    connections_[slot]->deadline_slot_ = slot;
    connections_.pop_back();
}

std::vector<QueryConnection*> ConnectionDeadlines::Due(Clock::time_point now) const {
    std::vector<QueryConnection*> due;
    for (QueryConnection* connection : connections_)
        if (connection->deadline_ <= now) due.push_back(connection);
    return due;
}

QueryConnection* ConnectionDeadlines::ToMakeWay() const {
    QueryConnection* chosen = nullptr;
    for (QueryConnection* connection : connections_) {
        if (connection->finished_ || (connection->sending_ && !connection->answered_)) continue;
        const bool better = chosen == nullptr || connection->answered_ > chosen->answered_ ||
                            (connection->answered_ == chosen->answered_ && connection->deadline_ < chosen->deadline_);
        if (better) chosen = connection;
    }
    return chosen;
}

}  // namespace tipserver
