// The TCP server that answers "QUERYNEWMESS" queries. One thread per core,
// each with its own event loop and its own listening socket on the same
// port (the kernel spreads connections over them), so a connection lives on
// one thread from accept to close and needs no locking.
//
// Each connection carries one query and gets one answer, then the server
// closes it: that close is how the client knows the answer is complete. A
// connection that sends too much or does not complete its query in time is
// dropped without an answer, and counted in the trouble summary.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "catalogue_source.h"
#include "log_sink.h"
#include "query_frame.h"
#include "server_counters.h"
#include "trouble_summary.h"

namespace tipserver {

struct TipsServerConfig {
    std::string host = "127.0.0.1";
    uint16_t port = 5200;  // 0: any free port
    unsigned threads = 0;  // 0: one per core
    std::chrono::milliseconds query_timeout{10000};
    std::chrono::milliseconds write_timeout{10000};
    size_t max_query_bytes = kMaxQueryBytes;
    size_t max_connections = 10000;
    // Which of the catalogue's code pages this port answers in (Catalogue::InEncoding).
    size_t encoding = 0;
};

// The number of event loops `threads` asks for (0: one per core).
unsigned QueryLoops(unsigned threads);

class TipsServer {
public:
    TipsServer(const TipsServerConfig& config, CatalogueSource& catalogue, LogSink& log, TroubleSummary& trouble);
    ~TipsServer();
    TipsServer(const TipsServer&) = delete;
    TipsServer& operator=(const TipsServer&) = delete;

    // Opens the listening sockets. False, with the reason, on failure.
    bool Bind(std::string& error);
    // "127.0.0.1:5200" once bound: the port actually chosen.
    std::string LocalAddress() const;
    uint16_t LocalPort() const;

    void Start();
    // Stops accepting, ends open connections and joins the threads.
    void Stop();

    // The counters of every loop added up, for the metrics.
    QueryTotals Totals() const;
    size_t OpenConnections() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tipserver
