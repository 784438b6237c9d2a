// One client connection: read one query, write one answer, close.
#pragma once

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "catalogue_source.h"
#include "connection_deadlines.h"
#include "log_sink.h"

namespace tipserver {

struct TipsServerConfig;

// What every connection of a server shares.
struct ServerContext {
    const TipsServerConfig& config;
    CatalogueSource& catalogue;
    LogSink& log;
    std::atomic<size_t> live_connections{0};
};

class QueryConnection : public std::enable_shared_from_this<QueryConnection> {
public:
    // Lives on the loop that `deadlines` belongs to.
    QueryConnection(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& peer, ServerContext& context,
                    ConnectionDeadlines& deadlines);
    ~QueryConnection();
    QueryConnection(const QueryConnection&) = delete;
    QueryConnection& operator=(const QueryConnection&) = delete;

    void Start();
    // Called by the sweep once the deadline has passed.
    void Expire() { Drop(deadline_reason_); }

private:
    friend class ConnectionDeadlines;

    void SetDeadline(std::chrono::milliseconds after, const char* reason);
    void ReadMore();
    void OnRead(const asio::error_code& error, size_t bytes);
    void Answer(size_t total);
    void Write(std::string log_line);
    void SendMore();
    void Finish(const asio::error_code& error);
    void Drop(const char* reason);
    double ElapsedMs() const;

    asio::ip::tcp::socket socket_;
    ServerContext& context_;
    ConnectionDeadlines& deadlines_;
    ConnectionDeadlines::Clock::time_point deadline_;
    const char* deadline_reason_ = "";
    size_t deadline_slot_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::string peer_;
    std::vector<uint8_t> in_;
    size_t received_ = 0;
    std::vector<uint8_t> out_;
    size_t sent_ = 0;
    std::string log_line_;
    bool finished_ = false;
};

}  // namespace tipserver
