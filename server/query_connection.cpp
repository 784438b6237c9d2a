#include "query_connection.h"

#include <sys/socket.h>

#include <cstdio>
#include <ctime>

#include "answer.h"
#include "protocol/byte_order.h"
#include "query_frame.h"
#include "tips_server.h"

namespace tipserver {
namespace {

constexpr size_t kFirstReadBytes = 512;

std::string PeerName(const asio::ip::tcp::endpoint& peer) {
    const auto address = peer.address();
    return (address.is_v6() ? "[" + address.to_string() + "]" : address.to_string()) + ":" +
           std::to_string(peer.port());
}

}  // namespace

QueryConnection::QueryConnection(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& peer,
                                 ServerContext& context, ConnectionDeadlines& deadlines)
    : socket_(std::move(socket)), context_(context), deadlines_(deadlines),
      started_(std::chrono::steady_clock::now()), peer_(PeerName(peer)) {
    ++context_.live_connections;
    deadlines_.Add(this);
}

QueryConnection::~QueryConnection() {
    deadlines_.Remove(this);
    --context_.live_connections;
}

void QueryConnection::Start() {
    SetDeadline(context_.config.query_timeout, "no complete query in time");
    ReadMore();
}

void QueryConnection::SetDeadline(std::chrono::milliseconds after, const char* reason) {
    deadline_ = ConnectionDeadlines::Clock::now() + after;
    deadline_reason_ = reason;
}

void QueryConnection::ReadMore() {
    if (received_ == in_.size()) {
        const size_t grown = in_.empty() ? kFirstReadBytes : in_.size() * 2;
        in_.resize(std::min(grown, context_.config.max_query_bytes));
    }
    socket_.async_read_some(asio::buffer(in_.data() + received_, in_.size() - received_),
                            [self = shared_from_this()](const asio::error_code& error, size_t bytes) {
                                self->OnRead(error, bytes);
                            });
}

void QueryConnection::OnRead(const asio::error_code& error, size_t bytes) {
    if (finished_) return;
    if (error) {
        Drop(error == asio::error::eof ? "closed before a complete query" : "read failed");
        return;
    }
    received_ += bytes;
    const FrameStatus frame = CheckQueryFrame(in_.data(), received_, context_.config.max_query_bytes);
    switch (frame.state) {
        case FrameState::kNeedMore:
            // Room for the whole packet at once once its length is known.
            if (frame.total > in_.size()) in_.resize(frame.total);
            ReadMore();
            return;
        case FrameState::kTooLarge:
            Drop("query larger than allowed");
            return;
        case FrameState::kUnreadable:
        case FrameState::kComplete:
            Answer(frame.state == FrameState::kComplete ? frame.total : 0);
            return;
    }
}

void QueryConnection::Answer(size_t total) {
    QueryFields query;
    const uint32_t sequence = received_ >= 8 ? LoadBigEndian32(in_.data() + 4) : 0;
    if (total == 0 || !ReadQueryPacket(in_.data(), total, query)) {
        EncodeErrorAnswer(kUnreadableQueryCode, sequence, out_);
        Write("unreadable peer=" + peer_ + " received=" + std::to_string(received_));
        return;
    }
    const std::shared_ptr<const Catalogue> catalogue = context_.catalogue.Current();
    AnswerRequest request;
    request.pid = query.pid;
    request.last_time = query.lastTime;
    request.message_id = query.messageId;
    const AnswerPlan plan = PlanAnswer(*catalogue, request, static_cast<int64_t>(std::time(nullptr)));
    EncodeAnswer(*catalogue, plan, sequence, out_);

    std::string line = "query peer=" + peer_ + " user=\"" + EscapeForLog(query.userName) + "\" pid=\"" +
                       EscapeForLog(query.pid) + "\" last_time=" + std::to_string(query.lastTime) +
                       " message_id=" + std::to_string(query.messageId) + " tips=" + std::to_string(plan.tips.size());
    if (plan.left_out != 0) {
        line += " left_out=" + std::to_string(plan.left_out) + " first_left_out=" + std::to_string(plan.first_left_out);
    }
    line += " answer_last_time=" + std::to_string(plan.last_time);
    Write(std::move(line));
}

void QueryConnection::Write(std::string log_line) {
    SetDeadline(context_.config.write_timeout, "answer not taken in time");
    log_line_ = std::move(log_line);
    SendMore();
}

void QueryConnection::SendMore() {
    // "More follows": the kernel holds the last piece until the close, which
    // then leaves in the same segment as the end of the connection. One
    // segment fewer for both sides of every exchange.
    socket_.async_send(asio::buffer(out_.data() + sent_, out_.size() - sent_), MSG_MORE,
                       [self = shared_from_this()](const asio::error_code& error, size_t bytes) {
                           if (self->finished_) return;
                           self->sent_ += bytes;
                           if (!error && self->sent_ < self->out_.size()) {
                               self->SendMore();
                               return;
                           }
                           self->Finish(error);
                       });
}

void QueryConnection::Finish(const asio::error_code& error) {
    finished_ = true;
    // The close sends the end of the answer: the client reads until it.
    asio::error_code ignored;
    socket_.close(ignored);
    char tail[64];
    std::snprintf(tail, sizeof tail, " bytes=%zu ms=%.2f%s", out_.size(), ElapsedMs(), error ? " write_failed" : "");
    context_.log.Write(log_line_ + tail);
}

void QueryConnection::Drop(const char* reason) {
    if (finished_) return;
    finished_ = true;
    asio::error_code ignored;
    socket_.close(ignored);
    char tail[32];
    std::snprintf(tail, sizeof tail, " ms=%.2f", ElapsedMs());
    context_.log.Write("drop peer=" + peer_ + " received=" + std::to_string(received_) + " reason=\"" + reason +
                       "\"" + tail);
}

double QueryConnection::ElapsedMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started_).count();
}

}  // namespace tipserver
