#include "server_bench_load.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace serverbench {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

struct Client {
    int fd = -1;
    bool sent = false;
    std::vector<uint8_t> received;
};

class LoadLoop {
public:
    LoadLoop(uint16_t port, const std::vector<uint8_t>& query, const std::vector<uint8_t>& expected, int clients)
        : address_(Loopback(port)), query_(query), expected_(expected), clients_(clients),
          epoll_(::epoll_create1(0)) {}
    ~LoadLoop() {
        for (Client& c : clients_)
            if (c.fd >= 0) ::close(c.fd);
        ::close(epoll_);
    }

    LoadResult Run(double seconds) {
        for (size_t i = 0; i < clients_.size(); ++i) Open(i);
        // A short warm-up, then the counted run.
        const auto warm_until = Clock::now() + std::chrono::milliseconds(300);
        Drive(warm_until);
        counted_ = {};
        const auto start = Clock::now();
        Drive(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
        counted_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return counted_;
    }

private:
    void Open(size_t i) {
        Client& c = clients_[i];
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        c.sent = false;
        c.received.clear();
        const int rc = ::connect(c.fd, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
        if (rc != 0 && errno != EINPROGRESS) {
            Finish(i, false);
            return;
        }
        // Edge-triggered for both directions at once: no further epoll calls
        // per exchange, so the load costs as little as it can.
        epoll_event event{};
        event.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP | EPOLLET;
        event.data.u64 = i;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, c.fd, &event);
    }

    void Finish(size_t i, bool complete) {
        Client& c = clients_[i];
        const bool same = complete && c.received == expected_;
        if (same)
            ++counted_.answered;
        else
            ++counted_.failed;
        ::close(c.fd);  // also leaves the epoll set
        c.fd = -1;
        restart_.push_back(i);
    }

    void OnEvent(size_t i, uint32_t events) {
        Client& c = clients_[i];
        if (!c.sent && (events & EPOLLOUT)) {
            // A failed connect makes the send fail.
            if (::send(c.fd, query_.data(), query_.size(), MSG_NOSIGNAL) != ssize_t(query_.size())) {
                Finish(i, false);
                return;
            }
            c.sent = true;
        }
        if (!(events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR))) return;
        uint8_t chunk[16384];
        for (;;) {
            const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
            if (n > 0) {
                c.received.insert(c.received.end(), chunk, chunk + n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            // The close ends the answer; a reset after the whole answer counts too.
            Finish(i, true);
            return;
        }
    }

    void Drive(Clock::time_point until) {
        epoll_event events[256];
        while (Clock::now() < until) {
            const int n = ::epoll_wait(epoll_, events, 256, 10);
            for (int k = 0; k < n; ++k) {
                const size_t i = events[k].data.u64;
                if (clients_[i].fd >= 0) OnEvent(i, events[k].events);
            }
            for (size_t i : restart_) Open(i);
            restart_.clear();
        }
    }

    sockaddr_in address_;
    const std::vector<uint8_t>& query_;
    const std::vector<uint8_t>& expected_;
    std::vector<Client> clients_;
    std::vector<size_t> restart_;
    int epoll_;
    LoadResult counted_;
};

}  // namespace

LoadResult RunLoad(uint16_t port, const std::vector<uint8_t>& query, const std::vector<uint8_t>& expected,
                   int clients, double seconds, int threads) {
    // Several loops, each with its share of the clients on a thread of its
    // own, so that one generator thread is not what sets the rate.
    std::vector<LoadResult> results(static_cast<size_t>(threads));
    std::vector<std::thread> loops;
    for (int t = 0; t < threads; ++t) {
        const int share = clients / threads + (t < clients % threads ? 1 : 0);
        loops.emplace_back([&, t, share] {
            LoadLoop loop(port, query, expected, share);
            results[static_cast<size_t>(t)] = loop.Run(seconds);
        });
    }
    LoadResult total;
    for (int t = 0; t < threads; ++t) {
        loops[static_cast<size_t>(t)].join();
        total.answered += results[static_cast<size_t>(t)].answered;
        total.failed += results[static_cast<size_t>(t)].failed;
        total.seconds = std::max(total.seconds, results[static_cast<size_t>(t)].seconds);
    }
    return total;
}

std::vector<uint8_t> ExchangeOnce(uint16_t port, const std::vector<uint8_t>& query) {
    std::vector<uint8_t> received;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, query.data(), query.size(), MSG_NOSIGNAL) == ssize_t(query.size())) {
        uint8_t chunk[16384];
        ssize_t n;
        while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0) received.insert(received.end(), chunk, chunk + n);
    }
    ::close(fd);
    return received;
}

}  // namespace serverbench
