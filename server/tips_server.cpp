#include "tips_server.h"

#include <asio.hpp>

#include <thread>
#include <vector>

#include "query_connection.h"

namespace tipserver {
namespace {

using asio::ip::tcp;

// One event loop on its own thread.
class Worker {
public:
    Worker() : io_(1), guard_(asio::make_work_guard(io_)) {}

    asio::io_context& Io() { return io_; }
    void Start() { thread_ = std::thread([this] { io_.run(); }); }
    void Stop() {
        io_.stop();
        if (thread_.joinable()) thread_.join();
    }

private:
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> guard_;
    std::thread thread_;
};

}  // namespace

// One listening socket on the first loop; each accepted connection is
// handed to the loops in turn and lives on that loop until it closes.
class TipsServer::Impl {
public:
    Impl(const TipsServerConfig& config, CatalogueSource& catalogue, LogSink& log)
        : config_(config), context_{config_, catalogue, log} {
        unsigned count = config_.threads != 0 ? config_.threads : std::thread::hardware_concurrency();
        for (unsigned i = 0; i < (count == 0 ? 1 : count); ++i) workers_.push_back(std::make_unique<Worker>());
        acceptor_ = std::make_unique<tcp::acceptor>(workers_[0]->Io());
        retry_ = std::make_unique<asio::steady_timer>(workers_[0]->Io());
    }

    ~Impl() {
        Stop();
        // The acceptor and the timer belong to the first loop: gone before it.
        retry_.reset();
        acceptor_.reset();
    }

    bool Bind(std::string& error) {
        asio::error_code ec;
        const auto address = asio::ip::make_address(config_.host, ec);
        if (ec) {
            error = "not an IP address: " + config_.host;
            return false;
        }
        const tcp::endpoint endpoint(address, config_.port);
        acceptor_->open(endpoint.protocol(), ec);
        if (!ec) acceptor_->set_option(tcp::acceptor::reuse_address(true), ec);
        if (!ec) acceptor_->bind(endpoint, ec);
        if (!ec) acceptor_->listen(asio::socket_base::max_listen_connections, ec);
        if (ec) {
            error = "cannot listen on " + config_.host + ":" + std::to_string(config_.port) + ": " + ec.message();
            return false;
        }
        local_ = acceptor_->local_endpoint(ec);
        return true;
    }

    void Start() {
        asio::post(workers_[0]->Io(), [this] { Accept(); });
        for (auto& worker : workers_) worker->Start();
    }

    void Stop() {
        for (auto& worker : workers_) worker->Stop();
    }

    tcp::endpoint local_;

private:
    void Accept() {
        asio::io_context& target = workers_[next_++ % workers_.size()]->Io();
        acceptor_->async_accept(target, [this](const asio::error_code& error, tcp::socket socket) {
            if (error == asio::error::operation_aborted) return;
            if (error) {
                // Out of descriptors or similar: wait instead of spinning.
                context_.log.Write("accept failed: " + error.message());
                retry_->expires_after(std::chrono::milliseconds(100));
                retry_->async_wait([this](const asio::error_code& e) {
                    if (!e) Accept();
                });
                return;
            }
            if (context_.live_connections.load() >= context_.config.max_connections) {
                asio::error_code ignored;
                socket.close(ignored);
            } else {
                auto connection = std::make_shared<QueryConnection>(std::move(socket), context_);
                asio::post(connection->Executor(), [connection] { connection->Start(); });
            }
            Accept();
        });
    }

    TipsServerConfig config_;
    ServerContext context_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::unique_ptr<tcp::acceptor> acceptor_;
    std::unique_ptr<asio::steady_timer> retry_;
    size_t next_ = 0;
};

TipsServer::TipsServer(const TipsServerConfig& config, CatalogueSource& catalogue, LogSink& log)
    : impl_(std::make_unique<Impl>(config, catalogue, log)) {}

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

}  // namespace tipserver
