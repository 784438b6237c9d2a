#include "support/loopback_http_server.h"

#include "support/loopback_tips_server.h"

namespace {

constexpr int kPollMs = 20;

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    default: return "Status";
    }
}

}  // namespace

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

LoopbackHttpServer::LoopbackHttpServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    listen(listener_, 8);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    closesocket(listener_);
    WSACleanup();
}

void LoopbackHttpServer::Set(const std::string& path, const HttpAnswer& answer) {
    std::lock_guard<std::mutex> hold(mutex_);
    answers_[path] = answer;
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return requests_;
}

void LoopbackHttpServer::Serve() {
    while (!stopping_) {
        if (!WaitReadable(listener_, kPollMs)) continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        Handle(client);
        closesocket(client);
    }
}

void LoopbackHttpServer::Handle(SOCKET client) {
    std::string head;
    char chunk[2048];
    while (!stopping_ && head.find("\r\n\r\n") == std::string::npos) {
        if (!WaitReadable(client, kPollMs)) continue;
        const int got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0) return;
        head.append(chunk, static_cast<size_t>(got));
    }
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
        for (size_t i = 0; i < answer.body.size() && !stopping_; ++i) {
            if (!SendAll(client, &answer.body[i], 1)) return;
            // Stays responsive to the server's own end.
            for (int waited = 0; waited < 100 && !stopping_; waited += 10) Sleep(10);
        }
        return;
    }
    const size_t length = answer.cutOff ? answer.body.size() / 2 : answer.body.size();
    SendAll(client, answer.body.data(), length);
    shutdown(client, SD_SEND);
}
