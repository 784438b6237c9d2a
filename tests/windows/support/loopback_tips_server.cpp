#include "support/loopback_tips_server.h"

#include <ws2tcpip.h>

#include "support/host_folder.h"

namespace {

constexpr size_t kOversize = 300000;
constexpr int kPollMs = 20;

uint32_t BigEndianAt(const std::string& bytes, size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

}  // namespace

SOCKET ListenOnLoopback(uint16_t* port, bool listen_) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listen_ && listen(s, 8) != 0)) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return s;
}

bool SendAll(SOCKET socket, const char* bytes, size_t size) {
    while (size > 0) {
        const int sent = send(socket, bytes, static_cast<int>(size), 0);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool WaitReadable(SOCKET socket, int ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

LoopbackTipsServer::LoopbackTipsServer(TipsFault fault, std::string answer)
    : fault_(fault), answer_(std::move(answer)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    if (fault_ == TipsFault::kRefuse) {
        // A port that was free a moment ago and has no listener.
        SOCKET probe = ListenOnLoopback(&port_, false);
        closesocket(probe);
        return;
    }
    listener_ = ListenOnLoopback(&port_, true);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackTipsServer::~LoopbackTipsServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    WSACleanup();
}

void LoopbackTipsServer::PointSettingsHere() const {
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(port_));
}

std::vector<std::string> LoopbackTipsServer::Queries() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return queries_;
}

std::string LoopbackTipsServer::WaitForQuery(DWORD ms) const {
    const DWORD start = GetTickCount();
    do {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (!queries_.empty()) return queries_.front();
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
    return std::string();
}

void LoopbackTipsServer::Serve() {
    while (!stopping_) {
        if (!WaitReadable(listener_, kPollMs)) continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        ++connections_;
        Handle(client);
        closesocket(client);
    }
}

void LoopbackTipsServer::Handle(SOCKET client) {
    if (fault_ == TipsFault::kCloseAtOnce) return;

    // The query: 12 header bytes, then as many as its rest length says.
    std::string query;
    char chunk[4096];
    while (!stopping_) {
        if (query.size() >= 12 && query.size() >= 12 + BigEndianAt(query, 8)) break;
        if (!WaitReadable(client, kPollMs)) continue;
        const int got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        query.append(chunk, static_cast<size_t>(got));
    }
    {
        std::lock_guard<std::mutex> hold(mutex_);
        queries_.push_back(query);
    }

    switch (fault_) {
    case TipsFault::kAnswer:
        SendAll(client, answer_.data(), answer_.size());
        break;
    case TipsFault::kSegments: {
        const size_t third = answer_.size() / 3;
        const size_t cuts[] = {0, third, 2 * third, answer_.size()};
        for (int i = 0; i < 3; ++i) {
            SendAll(client, answer_.data() + cuts[i], cuts[i + 1] - cuts[i]);
            Sleep(60);
        }
        break;
    }
    case TipsFault::kOversize: {
        std::string padded = answer_;
        padded.resize(kOversize, 'x');
        SendAll(client, padded.data(), padded.size());
        break;
    }
    case TipsFault::kCutOff:
        SendAll(client, answer_.data(), answer_.size() / 2);
        break;
    case TipsFault::kHang:
        while (!stopping_) Sleep(kPollMs);
        break;
    default:
        break;
    }
    shutdown(client, SD_SEND);
}
