#include "support/scripted_server.h"

#include "support/loopback_tips_server.h"

namespace {
constexpr int kPollMs = 10;
}  // namespace

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ListenOnLoopback(&port_, true);
    thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    closesocket(listener_);
    WSACleanup();
}

std::string ScriptedServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void ScriptedServer::Serve() {
    while (!stopping_) {
        if (!WaitReadable(listener_, kPollMs)) continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        ++connections_;
        script_(client, stopping_);
        closesocket(client);
    }
}

namespace {

// Reads until `complete` says the bytes so far are whole, or the peer stops.
template <typename Complete>
std::string ReadUntil(SOCKET client, const std::atomic<bool>& stopping, Complete complete) {
    std::string bytes;
    char chunk[4096];
    while (!stopping && !complete(bytes)) {
        if (!WaitReadable(client, kPollMs)) continue;
        const int got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
}

}  // namespace

std::string ReadWholePacket(SOCKET client, const std::atomic<bool>& stopping) {
    return ReadUntil(client, stopping, [](const std::string& bytes) {
        if (bytes.size() < 12) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 8;
        const size_t rest = (size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | p[3];
        return bytes.size() >= 12 + rest;
    });
}

std::string ReadHttpHead(SOCKET client, const std::atomic<bool>& stopping) {
    return ReadUntil(client, stopping,
                     [](const std::string& bytes) { return bytes.find("\r\n\r\n") != std::string::npos; });
}

void ResetOnClose(SOCKET client) {
    linger abort{1, 0};
    setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
}

void PauseUnlessStopping(DWORD ms, const std::atomic<bool>& stopping) {
    const DWORD start = GetTickCount();
    while (!stopping && GetTickCount() - start < ms) Sleep(ms < kPollMs ? ms : kPollMs);
}
