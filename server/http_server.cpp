#include "http_server.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <strings.h>

#include <optional>
#include <unordered_map>
#include <thread>

#include "http_conditional.h"
#include "line_budget.h"
#include "net.h"

namespace tipserver {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// Answer lines a second a port logs one by one; the rest are counted in a
// line of their own each second.
constexpr unsigned kAnswerLinesPerSecond = 50;

// The kernel's send buffer for each connection (it doubles it): left to
// grow, it takes several MiB per connection and swallows a whole picture at
// once, and a client that stalls would hold that memory without the write
// ever seeming to stall. 512 KiB in flight still moves a picture at
// 2.5 MB/s over a 200 ms round trip.
constexpr int kSendBufferBytes = 256 * 1024;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The path of a request target, percent-decoded, without its query; a
// malformed escape stays as it is (and names nothing).
std::string DecodedPath(std::string_view target) {
    // The absolute form ("http://host/a.gif"), which a server must accept.
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (target.size() >= scheme.size() && strncasecmp(target.data(), scheme.data(), scheme.size()) == 0) {
            const size_t slash = target.find('/', scheme.size());
            target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
            break;
        }
    }
    target = target.substr(0, target.find('?'));
    std::string path;
    for (size_t i = 0; i < target.size(); ++i) {
        if (target[i] == '%' && i + 2 < target.size() && HexValue(target[i + 1]) >= 0 && HexValue(target[i + 2]) >= 0) {
            path += static_cast<char>(HexValue(target[i + 1]) * 16 + HexValue(target[i + 2]));
            i += 2;
        } else {
            path += target[i];
        }
    }
    return path;
}

void Lower(std::atomic<uint64_t>& counter) {
    counter.store(counter.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
}

class Session;

struct Shared {
    const HttpServerConfig& config;
    const HttpHandler& handler;
    LogSink& log;
    TroubleSummary& trouble;
    HttpCounters& counters;
    // Sessions that wait for a request, by when they began to wait, and
    // sessions that write an answer, by when their last bytes went out: at
    // the cap the one that has been still longest makes way.
    std::unordered_map<Session*, Clock::time_point> still;
    LineBudget answer_lines{kAnswerLinesPerSecond};

    void Trouble(const char* kind, const std::string& address) {
        trouble.Record((config.name + kind).c_str(), address);
    }
};

class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(tcp::socket socket, Shared& shared)
        : stream_(std::move(socket)), buffer_(shared.config.header_limit + 1024), shared_(shared) {
        Bump(shared_.counters.open);
        error_code ignored;
        stream_.socket().set_option(asio::socket_base::send_buffer_size(kSendBufferBytes), ignored);
        const tcp::endpoint peer = stream_.socket().remote_endpoint(ignored);
        address_ = peer.address().to_string();
        peer_ = (peer.address().is_v6() ? "[" + address_ + "]" : address_) + ":" + std::to_string(peer.port());
    }
    ~Session() {
        shared_.still.erase(this);
        Lower(shared_.counters.open);
    }

    // Makes room at the connection cap for a new client.
    void Evict() {
        evicted_ = true;
        shared_.still.erase(this);
        error_code ignored;
        stream_.socket().close(ignored);
        // A write in progress ends with an error and is counted as cut.
        if (writing_) shared_.Trouble("_evicted_at_cap", address_);
    }

    void Read() {
        shared_.still[this] = Clock::now();
        parser_.emplace();
        parser_->header_limit(static_cast<uint32_t>(shared_.config.header_limit));
        parser_->body_limit(0);
        stream_.expires_after(answered_ == 0 ? shared_.config.request_timeout : shared_.config.idle_timeout);
        // The header only: a request has no body, and one that announces a
        // body is answered without reading it.
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = shared_from_this()](const error_code& error, size_t) { self->OnRead(error); });
    }

  private:
    void OnRead(const error_code& error) {
        shared_.still.erase(this);
        if (evicted_) {
            shared_.Trouble("_evicted_at_cap", address_);
            return;
        }
        if (error) {
            // A keep-alive client that leaves, or lets its idle time pass
            // without a byte, has done nothing wrong.
            const bool quiet_end =
                !parser_->got_some() && buffer_.size() == 0 && (answered_ != 0 || error == http::error::end_of_stream);
            if (!quiet_end) shared_.Trouble(error == beast::error::timeout ? "_timed_out" : "_malformed", address_);
            if (!quiet_end) Bump(shared_.counters.dropped);
            counted_ = true;
            // A request the parser could name the fault of gets its answer;
            // a client that stalls or leaves gets none.
            if (error == http::error::header_limit) {
                Refuse(RequestLineEnded() ? 431 : 414, "the request's header is over its limit\n");
            } else if (error == http::error::body_limit) {
                Refuse(413, "a request has no body here\n");
            } else if (!quiet_end && error.category() == http::make_error_code(http::error::bad_target).category() &&
                       error != http::error::end_of_stream && error != http::error::partial_message) {
                Refuse(400, "not an HTTP request\n");
            } else {
                Close();
            }
            return;
        }
        const auto& request = parser_->get();
        if (!parser_->is_done()) {  // chunked: a body follows the header
            Refuse(413, "a request has no body here\n");
            return;
        }
        if (request.version() >= 11 && request.find(http::field::host) == request.end()) {
            Refuse(400, "an HTTP/1.1 request needs a Host header\n");
            return;
        }
        const bool head = request.method() == http::verb::head;
        path_ = DecodedPath(std::string_view(request.target().data(), request.target().size()));
        if (request.method() == http::verb::get || head) {
            reply_ = shared_.handler(path_);
        } else {
            reply_ = HttpReply();
            reply_.status = 405;
            reply_.text = "only GET and HEAD\n";
        }
        const auto header = [&](http::field field) {
            const auto it = request.find(field);
            return it == request.end() ? std::string_view() : std::string_view(it->value().data(), it->value().size());
        };
        const bool not_modified =
            reply_.status == 200 && !reply_.etag.empty() &&
            NotModified(header(http::field::if_none_match), header(http::field::if_modified_since), reply_.etag,
                        reply_.last_modified);
        // With no idle time the connection ends after this answer: say so.
        Write(not_modified, head, request.keep_alive() && shared_.config.idle_timeout.count() > 0);
    }

    // An answer to a request that cannot be served; the connection ends.
    void Refuse(unsigned status, const char* text) {
        path_.clear();
        reply_ = HttpReply();
        reply_.status = status;
        reply_.text = text;
        Write(false, false, false);
    }

    // Whether the first line of what arrived ended: a header over its limit
    // then has too many fields (431), else too long a target (414).
    bool RequestLineEnded() const {
        const auto data = buffer_.data();
        const std::string_view arrived(static_cast<const char*>(data.data()), data.size());
        const size_t end = arrived.find('\n');
        return end != std::string_view::npos && end < shared_.config.header_limit;
    }

    void Write(bool not_modified, bool head, bool keep_alive) {
        const std::string_view body = reply_.owner ? reply_.bytes : std::string_view(reply_.text);
        response_ = {};
        response_.version(11);
        status_ = not_modified ? 304 : reply_.status;
        response_.result(status_);
        response_.set(http::field::content_type, reply_.content_type);
        if (reply_.no_cache) response_.set(http::field::cache_control, "no-cache");
        if (!reply_.etag.empty()) response_.set(http::field::etag, reply_.etag);
        if (reply_.last_modified > 0) response_.set(http::field::last_modified, HttpDate(reply_.last_modified));
        if (reply_.status == 405) response_.set(http::field::allow, "GET, HEAD");
        response_.keep_alive(keep_alive);
        // A 304 carries no body and no length of one.
        if (!not_modified) {
            response_.body() = http::span_body<const char>::value_type(body.data(), body.size());
            response_.prepare_payload();
        }
        if (head || not_modified) response_.body() = {};
        body_bytes_ = head || not_modified ? 0 : body.size();
        body_sent_ = 0;
        writing_ = true;
        serializer_.emplace(response_);
        serializer_->split(true);
        stream_.expires_after(shared_.config.write_timeout);
        http::async_write_header(stream_, *serializer_, [self = shared_from_this()](const error_code& error, size_t) {
            self->WriteMore(error, 0);
        });
    }

    // The body goes out piece by piece, and the deadline is on progress: a
    // slow but steady reader gets the whole picture, one that stalls for the
    // write timeout is cut.
    void WriteMore(const error_code& error, size_t bytes) {
        body_sent_ += bytes;
        if (error || serializer_->is_done()) {
            Written(error);
            return;
        }
        shared_.still[this] = Clock::now();
        stream_.expires_after(shared_.config.write_timeout);
        http::async_write_some(stream_, *serializer_,
                               [self = shared_from_this()](const error_code& e, size_t n) { self->WriteMore(e, n); });
    }

    void Written(const error_code& error) {
        shared_.still.erase(this);
        writing_ = false;
        ++answered_;
        Bump(error ? shared_.counters.cut : shared_.counters.requests);
        Bump(shared_.counters.bytes_sent, body_sent_);
        const bool served = status_ == 200 || status_ == 304;
        if (!served && !counted_) {
            // Like the query port's trouble: folded into the summary.
            shared_.Trouble(status_ == 404 ? "_not_found" : "_refused", address_);
        } else if (served && shared_.config.log_requests && shared_.answer_lines.Take(Clock::now())) {
            shared_.log.Write(shared_.config.name + " peer=" + peer_ + " path=\"" + EscapeForLog(path_, 200) +
                              "\" status=" + std::to_string(status_) + " bytes=" + std::to_string(body_sent_) +
                              (error ? " write_failed of=" + std::to_string(body_bytes_) : std::string()));
        }
        counted_ = false;
        serializer_.reset();
        reply_ = HttpReply();  // lets go of the catalogue the body came from
        if (error || !response_.keep_alive()) {
            Close();
            return;
        }
        Read();
    }

    void Close() {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.socket().close(ignored);
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
    http::response<http::span_body<const char>> response_;
    std::optional<http::response_serializer<http::span_body<const char>>> serializer_;
    HttpReply reply_;
    Shared& shared_;
    std::string address_;
    std::string peer_;
    std::string path_;
    size_t body_bytes_ = 0;
    size_t body_sent_ = 0;
    unsigned status_ = 0;  // as sent
    size_t answered_ = 0;
    bool evicted_ = false;
    bool writing_ = false;
    bool counted_ = false;  // this request's trouble is in the summary already
};

// The session that has waited longest for a request, or gone longest
// without a byte of its answer moving, or null.
Session* LongestStill(const Shared& shared) {
    Session* longest = nullptr;
    Clock::time_point since;
    for (const auto& entry : shared.still) {
        if (longest == nullptr || entry.second < since) {
            longest = entry.first;
            since = entry.second;
        }
    }
    return longest;
}

}  // namespace

class HttpServer::Impl {
  public:
    Impl(const HttpServerConfig& config, HttpHandler handler, LogSink& log, TroubleSummary& trouble)
        : config_(config),
          handler_(std::move(handler)),
          shared_{config_, handler_, log, trouble, counters_},
          acceptor_(io_),
          retry_(io_),
          note_(io_) {}

    bool Bind(std::string& error) {
        error_code ec;
        const auto address = asio::ip::make_address(config_.host, ec);
        const tcp::endpoint endpoint(address, config_.port);
        if (!ec) acceptor_.open(endpoint.protocol(), ec);
        if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
        if (!ec) acceptor_.bind(endpoint, ec);
        if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
        if (ec) {
            error =
                "cannot listen for HTTP on " + config_.host + ":" + std::to_string(config_.port) + ": " + ec.message();
            return false;
        }
        port_ = acceptor_.local_endpoint(ec).port();
        return true;
    }

    void Start() {
        Accept();
        NoteUnlogged();
        thread_ = std::thread([this] { io_.run(); });
    }

    void Stop() {
        io_.stop();
        if (thread_.joinable()) thread_.join();
        WriteUnloggedLine();
    }

    // Once a second: how many answers went without a line of their own.
    void NoteUnlogged() {
        WriteUnloggedLine();
        note_.expires_after(std::chrono::seconds(1));
        note_.async_wait([this](const error_code& error) {
            if (!error) NoteUnlogged();
        });
    }

    void WriteUnloggedLine() {
        const uint64_t unlogged = shared_.answer_lines.TakeSkipped();
        if (unlogged != 0)
            shared_.log.Write(config_.name + ": " + std::to_string(unlogged) +
                              " more answers not logged one by one (at most " + std::to_string(kAnswerLinesPerSecond) +
                              " lines a second)");
    }

    void Accept() {
        acceptor_.async_accept([this](const error_code& error, tcp::socket socket) {
            if (error == asio::error::operation_aborted) return;
            if (error) {
                // Out of descriptors or similar: wait instead of spinning.
                shared_.Trouble("_accept_failed", {});  // no peer to count it against
                retry_.expires_after(std::chrono::milliseconds(100));
                retry_.async_wait([this](const error_code& e) {
                    if (!e) Accept();
                });
                return;
            }
            bool room = Read(counters_.open) < config_.max_connections;
            if (!room) {
                // At the cap, the connection that has been still longest
                // (waiting for a request, or for its answer to move) makes
                // way: slow and idle clients cannot lock out those that ask
                // and go.
                Bump(counters_.refused_at_cap);
                Session* longest = LongestStill(shared_);
                room = longest != nullptr;
                if (room) longest->Evict();
            }
            if (room) {
                std::make_shared<Session>(std::move(socket), shared_)->Read();
            } else {
                error_code ignored;
                const auto peer = socket.remote_endpoint(ignored);
                socket.close(ignored);
                shared_.Trouble("_refused_at_cap", peer.address().to_string());
            }
            Accept();
        });
    }

    const HttpServerConfig config_;
    const HttpHandler handler_;
    HttpCounters counters_;
    Shared shared_;
    uint16_t port_ = 0;
    // Last: its handlers hold sessions that use everything above.
    asio::io_context io_{1};
    tcp::acceptor acceptor_;
    asio::steady_timer retry_;
    asio::steady_timer note_;
    std::thread thread_;
};

HttpServer::HttpServer(const HttpServerConfig& config, HttpHandler handler, LogSink& log, TroubleSummary& trouble)
    : impl_(std::make_unique<Impl>(config, std::move(handler), log, trouble)) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Bind(std::string& error) { return impl_->Bind(error); }

uint16_t HttpServer::LocalPort() const { return impl_->port_; }

void HttpServer::Start() { impl_->Start(); }

void HttpServer::Stop() { impl_->Stop(); }

const HttpCounters& HttpServer::Counters() const { return impl_->counters_; }

}  // namespace tipserver
