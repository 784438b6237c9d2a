// One client connection: read one query, write one answer, close.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "catalogue_source.h"
#include "connection_deadlines.h"
#include "log_sink.h"
#include "net.h"
#include "server_counters.h"
#include "trouble_summary.h"

namespace tipserver {

struct TipsServerConfig;

// What every connection of a server shares.
struct ServerContext {
    const TipsServerConfig& config;
    CatalogueSource& catalogue;
    LogSink& log;
    TroubleSummary& trouble;
    std::atomic<size_t> live_connections{0};
};

class QueryConnection : public std::enable_shared_from_this<QueryConnection> {
public:
    // Lives on the loop that `deadlines` and `counters` belong to.
    QueryConnection(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& peer, ServerContext& context,
                    ConnectionDeadlines& deadlines, QueryCounters& counters);
    ~QueryConnection();
    QueryConnection(const QueryConnection&) = delete;
    QueryConnection& operator=(const QueryConnection&) = delete;

    void Start();
    // Called by the sweep once the deadline has passed.
    void Expire();
    // Makes room at the connection cap for a new client: an answered
    // connection just closes, any other is dropped as evicted.
    void Evict();
    bool Answered() const { return answered_; }

private:
    friend class ConnectionDeadlines;

    void SetDeadline(std::chrono::milliseconds after) { deadline_ = ConnectionDeadlines::Clock::now() + after; }
    void ReadMore();
    void OnRead(const error_code& error, size_t bytes);
    void Answer(size_t total);
    void Send(QueryOutcome outcome, std::string log_line);
    void SendMore();
    void Sent(const error_code& error);
    // Counts the answer and writes its log line, once it is all sent.
    void CountAnswer();
    void Drain();
    void Finish();
    // Ends the connection without an answer; `kind` goes into the summary.
    void Drop(QueryOutcome outcome, const char* kind);
    void Close(bool discard_unsent);

    asio::ip::tcp::socket socket_;
    ServerContext& context_;
    ConnectionDeadlines& deadlines_;
    QueryCounters& counters_;
    ConnectionDeadlines::Clock::time_point deadline_;
    size_t deadline_slot_ = 0;
    std::chrono::steady_clock::time_point started_;
    uint64_t handled_ns_ = 0;
    asio::ip::tcp::endpoint peer_;
    std::vector<uint8_t> in_;
    size_t received_ = 0;
    std::vector<uint8_t> out_;
    size_t sent_ = 0;
    size_t junk_ = 0;
    size_t tips_ = 0;
    QueryOutcome outcome_ = QueryOutcome::kAnswered;
    std::string log_line_;  // empty: an unreadable query, counted in the summary
    bool sending_ = false;
    bool answered_ = false;  // all sent; only waits for the client to close
    bool finished_ = false;
};

}  // namespace tipserver
