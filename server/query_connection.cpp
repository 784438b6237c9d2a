#include "query_connection.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
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
                                 ServerContext& context, ConnectionDeadlines& deadlines, QueryCounters& counters)
    : socket_(std::move(socket)), context_(context), deadlines_(deadlines), counters_(counters),
      started_(std::chrono::steady_clock::now()), peer_(peer) {
    ++context_.live_connections;
    deadlines_.Add(this);
}

QueryConnection::~QueryConnection() {
    if (answered_) --deadlines_.answered_open;
    deadlines_.Remove(this);
    --context_.live_connections;
}

void QueryConnection::Start() {
    SetDeadline(context_.config.query_timeout);
    ReadMore();
}

void QueryConnection::ReadMore() {
    // The buffer grows with what has arrived, not with what the header
    // announces: a stalled client holds little.
    if (received_ == in_.size()) {
        const size_t grown = in_.empty() ? kFirstReadBytes : in_.size() * 2;
        in_.resize(std::min(grown, context_.config.max_query_bytes));
    }
    socket_.async_read_some(asio::buffer(in_.data() + received_, in_.size() - received_),
                            [self = shared_from_this()](const error_code& error, size_t bytes) {
                                self->OnRead(error, bytes);
                            });
}

void QueryConnection::OnRead(const error_code& error, size_t bytes) {
    if (finished_) return;
    if (error) {
        Drop(QueryOutcome::kClosedEarly, error == asio::error::eof ? "closed_early" : "read_failed");
        return;
    }
    received_ += bytes;
    const FrameStatus frame = CheckQueryFrame(in_.data(), received_, context_.config.max_query_bytes);
    switch (frame.state) {
        case FrameState::kNeedMore:
            ReadMore();
            return;
        case FrameState::kTooLarge:
            Drop(QueryOutcome::kRefusedFraming, "too_large");
            return;
        case FrameState::kUnreadable:
        case FrameState::kComplete:
            junk_ = frame.state == FrameState::kComplete ? received_ - frame.total : 0;
            Answer(frame.state == FrameState::kComplete ? frame.total : 0);
            return;
    }
}

void QueryConnection::Answer(size_t total) {
    QueryFields query;
    const uint32_t sequence = received_ >= 8 ? LoadBigEndian32(in_.data() + 4) : 0;
    if (total == 0 || !ReadQueryPacket(in_.data(), total, query)) {
        EncodeErrorAnswer(kUnreadableQueryCode, sequence, out_);
        Send(QueryOutcome::kErrorAnswer, {});
        return;
    }
    const std::shared_ptr<const Catalogue> snapshot = context_.catalogue.Current();
    const Catalogue* catalogue = &snapshot->InEncoding(context_.config.encoding);
    AnswerRequest request;
    request.pid = query.pid;
    request.last_time = query.lastTime;
    request.message_id = query.messageId;
    const AnswerPlan plan = PlanAnswer(*catalogue, request, static_cast<int64_t>(std::time(nullptr)));
    EncodeAnswer(*catalogue, plan, sequence, out_);
    tips_ = plan.tips.size();

    std::string line = "query peer=" + PeerName(peer_) + " user=\"" + EscapeForLog(query.userName) + "\" pid=\"" +
                       EscapeForLog(query.pid) + "\" last_time=" + std::to_string(query.lastTime) +
                       " message_id=" + std::to_string(query.messageId) + " tips=" + std::to_string(plan.tips.size());
    if (plan.left_out != 0) {
        line += " left_out=" + std::to_string(plan.left_out) + " first_left_out=" + std::to_string(plan.first_left_out);
    }
    line += " answer_last_time=" + std::to_string(plan.last_time);
    Send(QueryOutcome::kAnswered, std::move(line));
}

void QueryConnection::Send(QueryOutcome outcome, std::string log_line) {
    SetDeadline(context_.config.write_timeout);
    outcome_ = outcome;
    log_line_ = std::move(log_line);
    sending_ = true;
    SendMore();
}

void QueryConnection::SendMore() {
    // "More follows": the kernel holds the last piece until the shutdown,
    // which then leaves in the same segment as the end of the stream. One
    // segment fewer for both sides of every exchange.
    socket_.async_send(asio::buffer(out_.data() + sent_, out_.size() - sent_), MSG_MORE,
                       [self = shared_from_this()](const error_code& error, size_t bytes) {
                           if (self->finished_) return;
                           self->sent_ += bytes;
                           if (!error && self->sent_ < self->out_.size()) {
                               self->SendMore();
                               return;
                           }
                           self->Sent(error);
                       });
}

void QueryConnection::Sent(const error_code& error) {
    handled_ns_ = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::steady_clock::now() - started_)
                                            .count());
    if (error) {
        Drop(QueryOutcome::kClosedEarly, "answer_not_taken");
        return;
    }
    // Counted and logged now, not when the client closes: a client that
    // holds its end open (or a stop) must not hide an answered query.
    answered_ = true;
    ++deadlines_.answered_open;
    CountAnswer();
    // The end of the answer is the end of the stream. Then read until the
    // client closes: closing with its bytes unread would reset the
    // connection and could destroy the answer before the client reads it.
    error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    Drain();
}

void QueryConnection::CountAnswer() {
    counters_.Count(outcome_, handled_ns_);
    Bump(counters_.tips_sent, tips_);
    Bump(counters_.bytes_sent, out_.size());
    if (log_line_.empty()) {
        context_.trouble.Record("unreadable", peer_.address().to_string());
        return;
    }
    char tail[80];
    std::snprintf(tail, sizeof tail, " bytes=%zu ms=%.2f", out_.size(), static_cast<double>(handled_ns_) / 1e6);
    log_line_ += tail;
    if (junk_ != 0) log_line_ += " junk_after_query=" + std::to_string(junk_);
    context_.log.Write(log_line_);
    log_line_.clear();
}

void QueryConnection::Drain() {
    socket_.async_read_some(asio::buffer(in_), [self = shared_from_this()](const error_code& error, size_t) {
        if (self->finished_) return;
        if (error) {
            self->Finish();
            return;
        }
        self->Drain();
    });
}

void QueryConnection::Finish() {
    finished_ = true;
    Close(false);
}

void QueryConnection::Evict() {
    if (answered_) {
        Finish();
        return;
    }
    Drop(QueryOutcome::kEvicted, "evicted_at_cap");
}

void QueryConnection::Expire() {
    if (!sending_) {
        Drop(QueryOutcome::kTimedOut, "timed_out");
        return;
    }
    if (!answered_) {
        Drop(QueryOutcome::kTimedOut, "answer_not_taken");
        return;
    }
    // The client that has taken the whole answer but keeps its end open has
    // its answer; one that has not read it gives it up (it was counted as
    // answered when it was all sent: the summary names it as well).
    int unacknowledged = 0;
    if (::ioctl(socket_.native_handle(), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0) {
        Finish();
        return;
    }
    finished_ = true;
    Close(true);
    context_.trouble.Record("answer_not_taken", peer_.address().to_string());
}

void QueryConnection::Drop(QueryOutcome outcome, const char* kind) {
    if (finished_) return;
    finished_ = true;
    // An answer left unread is thrown away with the connection rather than
    // left in the kernel's buffers after it.
    Close(sending_);
    if (handled_ns_ == 0)
        handled_ns_ = static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - started_).count());
    counters_.Count(outcome, handled_ns_);
    context_.trouble.Record(kind, peer_.address().to_string());
}

void QueryConnection::Close(bool discard_unsent) {
    error_code ignored;
    if (discard_unsent) socket_.set_option(asio::socket_base::linger(true, 0), ignored);
    socket_.close(ignored);
}

}  // namespace tipserver
