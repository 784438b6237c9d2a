#include "support/loopback_server.h"

#include "support/host_folder.h"

namespace {

constexpr int kPollMs = 10;

// A socket listening on 127.0.0.1 on a port of the system's choice;
// INVALID_SOCKET on failure.
SOCKET ListenOnLoopback(uint16_t* port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 || listen(s, 8) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return s;
}

bool WaitReadable(SOCKET socket) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait{0, kPollMs * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

// Reads until `complete` says the bytes so far are whole, or the peer stops.
template <typename Complete>
std::string ReadUntil(SOCKET client, const std::atomic<bool>& stopping, Complete complete) {
    std::string bytes;
    char chunk[4096];
    while (!stopping && !complete(bytes)) {
        if (!WaitReadable(client)) continue;
        const int got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
}

// A blocking send returns once every byte is handed over.
void SendAll(SOCKET client, const std::string& bytes) { send(client, bytes.data(), int(bytes.size()), 0); }

// Sleeps `ms`, or less once `stopping` turns true.
void PauseUnlessStopping(unsigned ms, const std::atomic<bool>& stopping) {
    for (const DWORD start = GetTickCount(); !stopping && GetTickCount() - start < ms;)
        Sleep(ms < kPollMs ? ms : kPollMs);
}

}  // namespace

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ListenOnLoopback(&port_);
    thread_ = std::thread([this] {
        while (!stopping_) {
            SOCKET client = WaitReadable(listener_) ? accept(listener_, nullptr, nullptr) : INVALID_SOCKET;
            if (client == INVALID_SOCKET) continue;
            script_(client, stopping_);
            closesocket(client);
        }
    });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    thread_.join();
    closesocket(listener_);
    WSACleanup();
}

LoopbackTipsServer::LoopbackTipsServer(TipsFault fault, std::string answer)
    : fault_(fault), answer_(std::move(answer)) {
    if (fault_ == TipsFault::kRefuse) return;
    server_ = std::make_unique<ScriptedServer>([this](SOCKET client, const std::atomic<bool>& stopping) {
        // One whole packet by its rest length, or what came before the peer stopped.
        const std::string query = ReadUntil(client, stopping, [](const std::string& bytes) {
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 8;
            return bytes.size() >= 12 &&
                   bytes.size() >= 12 + ((size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | p[3]);
        });
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (query_.empty()) query_ = query;
        }
        std::string sent = answer_;
        if (fault_ == TipsFault::kOversize) sent.resize(300000, 'x');
        if (fault_ == TipsFault::kCutOff) sent.resize(answer_.size() / 2);
        if (fault_ == TipsFault::kHang) PauseUnlessStopping(INFINITE, stopping);
        const size_t pieces = fault_ == TipsFault::kSegments ? 3 : 1, piece = sent.size() / pieces + 1;
        for (size_t at = 0; fault_ != TipsFault::kHang && at < sent.size() && !stopping; at += piece) {
            if (pieces > 1) PauseUnlessStopping(60, stopping);
            SendAll(client, sent.substr(at, piece));
        }
        shutdown(client, SD_SEND);
    });
}

void LoopbackTipsServer::PointSettingsHere() const {
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(Port()));
}

std::string LoopbackTipsServer::Query() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return query_;
}

std::string SampleGif() {
    std::string gif = "GIF89a";
    for (int i = 0; i < 9000; ++i) gif.push_back(static_cast<char>(i * 7));
    return gif;
}

LoopbackHttpServer::LoopbackHttpServer()
    : server_(std::make_unique<ScriptedServer>([this](SOCKET client, const std::atomic<bool>& stopping) {
          const std::string head =
              ReadUntil(client, stopping, [](const std::string& b) { return b.find("\r\n\r\n") != std::string::npos; });
          if (head.find("\r\n\r\n") == std::string::npos) return;
          const size_t pathAt = head.find(' ') + 1;
          HttpAnswer answer{404, "<html>no such picture</html>"};
          {
              std::lock_guard<std::mutex> hold(mutex_);
              requests_.push_back(head);
              auto found = answers_.find(head.substr(pathAt, head.find(' ', pathAt) - pathAt));
              if (found != answers_.end()) answer = found->second;
          }
          const char* reason = answer.status == 200 ? "OK" : answer.status == 302 ? "Found" : "Not Found";
          SendAll(client, "HTTP/1.1 " + std::to_string(answer.status) + " " + reason +
                              "\r\nContent-Type: image/gif\r\nContent-Length: " + std::to_string(answer.body.size()) +
                              "\r\nConnection: close\r\n" + answer.extraHeaders + "\r\n" +
                              answer.body.substr(0, answer.body.size() / (answer.sent == HttpBody::kWhole ? 1 : 2)));
          if (answer.sent == HttpBody::kStall) PauseUnlessStopping(INFINITE, stopping);
          for (size_t at = answer.body.size() / 2;
               answer.sent == HttpBody::kTrickle && at < answer.body.size() && !stopping; ++at) {
              PauseUnlessStopping(200, stopping);
              SendAll(client, answer.body.substr(at, 1));
          }
          shutdown(client, SD_SEND);
      })) {}

void LoopbackHttpServer::Set(const std::string& path, const HttpAnswer& answer) {
    std::lock_guard<std::mutex> hold(mutex_);
    answers_[path] = answer;
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return requests_;
}
