#include "tips_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <thread>
#include <vector>

#include "net.h"
#include "query_connection.h"

namespace tipserver {
namespace {

using asio::ip::tcp;
using ReusePort = asio::detail::socket_option::boolean<SOL_SOCKET, SO_REUSEPORT>;
using DeferAccept = asio::detail::socket_option::integer<IPPROTO_TCP, TCP_DEFER_ACCEPT>;
constexpr int kDeferAcceptSeconds = 1;

// How often each loop looks for connections past their deadline.
constexpr auto kSweepEvery = std::chrono::milliseconds(100);

// One event loop on its own thread with its own listening socket, so a
// connection never changes threads.
class Worker {
public:
    Worker(ServerContext& context, const std::vector<std::unique_ptr<Worker>>& all)
        : io_(1), sweep_(io_), retry_(io_), context_(context), all_(all) {}

    asio::io_context& Io() { return io_; }
    const QueryCounters& Counters() const { return counters_; }

    bool Listen(const tcp::endpoint& endpoint, error_code& error) {
        acceptor_ = std::make_unique<tcp::acceptor>(io_);
        acceptor_->open(endpoint.protocol(), error);
        if (!error) acceptor_->set_option(tcp::acceptor::reuse_address(true), error);
        if (!error) acceptor_->set_option(ReusePort(true), error);
        // Clients speak first: the kernel hands over a connection once its
        // query has begun to arrive, so one wake-up serves accept and read.
        if (!error) acceptor_->set_option(DeferAccept(kDeferAcceptSeconds), error);
        if (!error) acceptor_->bind(endpoint, error);
        if (!error) acceptor_->listen(asio::socket_base::max_listen_connections, error);
        return !error;
    }

    void Start() {
        Accept();
        Sweep();
        thread_ = std::thread([this] { io_.run(); });
    }

    void Stop() {
        io_.stop();
        if (thread_.joinable()) thread_.join();
    }

private:
    void Accept() {
        // The peer's address comes with the accept: no extra call per client.
        acceptor_->async_accept(peer_, [this](const error_code& error, tcp::socket socket) {
            if (error == asio::error::operation_aborted) return;
            if (error) {
                // Out of descriptors or similar: wait instead of spinning.
                // Counted as a kind of its own, not against a peer: there is none.
                context_.trouble.Record("accept_failed", {});
                retry_.expires_after(std::chrono::milliseconds(100));
                retry_.async_wait([this](const error_code& e) {
                    if (!e) Accept();
                });
                return;
            }
            bool room = context_.live_connections.load() < context_.config.max_connections;
            if (!room) {
                // At the cap, an answered connection, else the one that has
                // kept its query waiting longest, makes way: neither clients
                // that hold their end open nor stalled ones can lock out the
                // clients that ask and go.
                Bump(counters_.refused_at_cap);
                QueryConnection* way = deadlines_.ToMakeWay();
                // An answered connection on another loop goes before a
                // waiting one here; that loop closes it (the new client is
                // taken now, one over the cap for a moment).
                Worker* other = way != nullptr && way->Answered() ? nullptr : WithAnsweredOpen();
                if (other != nullptr) {
                    other->MakeWayForAnother();
                    way = nullptr;
                }
                room = way != nullptr || other != nullptr;
                if (way != nullptr) way->Evict();
            }
            if (room) {
                std::make_shared<QueryConnection>(std::move(socket), peer_, context_, deadlines_, counters_)->Start();
            } else {
                error_code ignored;
                socket.close(ignored);
                context_.trouble.Record("refused_at_cap", peer_.address().to_string());
            }
            Accept();
        });
    }

    Worker* WithAnsweredOpen() const {
        for (const auto& worker : all_)
            if (worker.get() != this && worker->deadlines_.answered_open.load() != 0) return worker.get();
        return nullptr;
    }

    // From another loop: closes an answered connection of this one, if it
    // still has one.
    void MakeWayForAnother() {
        asio::post(io_, [this] {
            QueryConnection* way = deadlines_.ToMakeWay();
            if (way != nullptr && way->Answered()) way->Evict();
        });
    }

    void Sweep() {
        for (QueryConnection* connection : deadlines_.Due(ConnectionDeadlines::Clock::now())) connection->Expire();
        sweep_.expires_after(kSweepEvery);
        sweep_.async_wait([this](const error_code& error) {
            if (!error) Sweep();
        });
    }

    // Outlives the loop: connections still held by its handlers leave it
    // when the loop is destroyed.
    ConnectionDeadlines deadlines_;
    QueryCounters counters_;
    asio::io_context io_;
    std::unique_ptr<tcp::acceptor> acceptor_;
    asio::steady_timer sweep_;
    asio::steady_timer retry_;
    tcp::endpoint peer_;
    ServerContext& context_;
    const std::vector<std::unique_ptr<Worker>>& all_;
    std::thread thread_;
};

}  // namespace

unsigned QueryLoops(unsigned threads) {
    const unsigned count = threads != 0 ? threads : std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}

class TipsServer::Impl {
public:
    Impl(const TipsServerConfig& config, CatalogueSource& catalogue, LogSink& log, TroubleSummary& trouble)
        : config_(config), context_{config_, catalogue, log, trouble} {
        for (unsigned i = 0; i < QueryLoops(config_.threads); ++i)
            workers_.push_back(std::make_unique<Worker>(context_, workers_));
    }

    ~Impl() { Stop(); }

    bool Bind(std::string& error) {
        error_code ec;
        const auto address = asio::ip::make_address(config_.host, ec);
        if (ec) {
            error = "not an IP address: " + config_.host;
            return false;
        }
        // A plain bind first, without port sharing: it fails while any other
        // socket holds the port, so a second server started by mistake is
        // refused instead of silently sharing the port with this one.
        tcp::endpoint endpoint(address, config_.port);
        {
            tcp::acceptor probe(workers_[0]->Io());
            probe.open(endpoint.protocol(), ec);
            if (!ec) probe.set_option(tcp::acceptor::reuse_address(true), ec);
            if (!ec) probe.bind(endpoint, ec);
            if (!ec) endpoint = probe.local_endpoint(ec);  // the port chosen for port 0
        }
        // Then one listening socket per loop on that port: the kernel spreads
        // the connections over them, and no loop wakes for another's client.
        for (size_t i = 0; i < workers_.size() && !ec; ++i) workers_[i]->Listen(endpoint, ec);
        if (ec) {
            error = "cannot listen on " + config_.host + ":" + std::to_string(config_.port) + ": " + ec.message();
            return false;
        }
        local_ = endpoint;
        return true;
    }

    void Start() {
        for (auto& worker : workers_) worker->Start();
    }

    void Stop() {
        for (auto& worker : workers_) worker->Stop();
    }

    QueryTotals Totals() const {
        QueryTotals totals;
        for (const auto& worker : workers_) worker->Counters().AddTo(totals);
        return totals;
    }

    size_t Open() const { return context_.live_connections.load(std::memory_order_relaxed); }

    tcp::endpoint local_;

private:
    TipsServerConfig config_;
    ServerContext context_;
    std::vector<std::unique_ptr<Worker>> workers_;
};

TipsServer::TipsServer(const TipsServerConfig& config, CatalogueSource& catalogue, LogSink& log,
                       TroubleSummary& trouble)
    : impl_(std::make_unique<Impl>(config, catalogue, log, trouble)) {}

TipsServer::~TipsServer() { Stop(); }

bool TipsServer::Bind(std::string& error) { return impl_->Bind(error); }

std::string TipsServer::LocalAddress() const {
    const auto address = impl_->local_.address();
    return (address.is_v6() ? "[" + address.to_string() + "]" : address.to_string()) + ":" +
           std::to_string(impl_->local_.port());
}

uint16_t TipsServer::LocalPort() const { return impl_->local_.port(); }

void TipsServer::Start() { impl_->Start(); }

void TipsServer::Stop() { impl_->Stop(); }

QueryTotals TipsServer::Totals() const { return impl_->Totals(); }

size_t TipsServer::OpenConnections() const { return impl_->Open(); }

}  // namespace tipserver
