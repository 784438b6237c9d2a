#include "support/loopback_server.h"

#include "support/host_folder.h"

namespace {

constexpr int kPollMs = 10;
constexpr size_t kOversize = 300000;

// A socket bound to 127.0.0.1 on a port of the system's choice, listening
// when `listen_`; INVALID_SOCKET on failure.
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

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    default: return "Status";
    }
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
        script_(client, stopping_);
        closesocket(client);
    }
}

LoopbackTipsServer::LoopbackTipsServer(TipsFault fault, std::string answer)
    : fault_(fault), answer_(std::move(answer)) {
    if (fault_ == TipsFault::kRefuse) {
        // A port that was free a moment ago and has no listener.
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        closesocket(ListenOnLoopback(&refusedPort_, false));
        WSACleanup();
        return;
    }
    server_ = std::make_unique<ScriptedServer>(
        [this](SOCKET client, const std::atomic<bool>& stopping) { Handle(client, stopping); });
}

void LoopbackTipsServer::PointSettingsHere() const {
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(Port()));
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

void LoopbackTipsServer::Handle(SOCKET client, const std::atomic<bool>& stopping) {
    if (fault_ == TipsFault::kCloseAtOnce) return;
    const std::string query = ReadWholePacket(client, stopping);
    {
        std::lock_guard<std::mutex> hold(mutex_);
        queries_.push_back(query);
    }
    std::string sent = answer_;
    if (fault_ == TipsFault::kOversize) sent.resize(kOversize, 'x');
    if (fault_ == TipsFault::kCutOff) sent.resize(answer_.size() / 2);
    if (fault_ == TipsFault::kHang) {
        PauseUnlessStopping(INFINITE, stopping);
    } else if (fault_ == TipsFault::kSegments) {
        const size_t third = sent.size() / 3;
        const size_t cuts[] = {0, third, 2 * third, sent.size()};
        for (int i = 0; i < 3; ++i) {
            SendAll(client, sent.data() + cuts[i], cuts[i + 1] - cuts[i]);
            Sleep(60);
        }
    } else {
        SendAll(client, sent.data(), sent.size());
    }
    shutdown(client, SD_SEND);
}

std::string SampleGif() {
    std::string gif = "GIF89a";
    for (int i = 0; i < 9000; ++i) gif.push_back(static_cast<char>(i * 7));
    return gif;
}

std::string SampleJpeg() {
    std::string jpeg = "\xFF\xD8\xFF\xE0";
    for (int i = 0; i < 5000; ++i) jpeg.push_back(static_cast<char>(i * 13));
    return jpeg + "\xFF\xD9";
}

LoopbackHttpServer::LoopbackHttpServer()
    : server_(std::make_unique<ScriptedServer>(
          [this](SOCKET client, const std::atomic<bool>& stopping) { Handle(client, stopping); })) {}

void LoopbackHttpServer::Set(const std::string& path, const HttpAnswer& answer) {
    std::lock_guard<std::mutex> hold(mutex_);
    answers_[path] = answer;
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return requests_;
}

void LoopbackHttpServer::Handle(SOCKET client, const std::atomic<bool>& stopping) {
    const std::string head = ReadHttpHead(client, stopping);
    if (head.find("\r\n\r\n") == std::string::npos) return;
    const size_t pathStart = head.find(' ') + 1;
    const std::string path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
    HttpAnswer answer;
    answer.status = 404;
    answer.body = "<html>no such picture</html>";
    {
        std::lock_guard<std::mutex> hold(mutex_);
        requests_.push_back(head);
        auto found = answers_.find(path);
        if (found != answers_.end()) answer = found->second;
    }
    const std::string reply = "HTTP/1.1 " + std::to_string(answer.status) + " " + Reason(answer.status) +
                              "\r\nContent-Type: image/gif\r\nContent-Length: " +
                              std::to_string(answer.body.size()) + "\r\nConnection: close\r\n" +
                              answer.extraHeaders + "\r\n";
    if (!SendAll(client, reply.data(), reply.size())) return;
    if (answer.trickle) {
        for (size_t i = 0; i < answer.body.size() && !stopping; ++i) {
            if (!SendAll(client, &answer.body[i], 1)) return;
            PauseUnlessStopping(100, stopping);
        }
        return;
    }
    SendAll(client, answer.body.data(), answer.cutOff ? answer.body.size() / 2 : answer.body.size());
    shutdown(client, SD_SEND);
}
