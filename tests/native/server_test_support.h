// Helpers for the tips server's tests: catalogues from JSON, a scratch log,
// a loopback client, and waiting on a condition.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "catalogue.h"
#include "core_test_support.h"
#include "log_sink.h"

namespace servertest {

using nlohmann::json;
constexpr int64_t kNow = 1714521600;  // 2024-05-01: inside every window the helpers make

// A tip valid from 2024 to 2030 with a short text; a null in `change` removes a field.
inline json Tip(uint32_t id, const json& change = json::object()) {
    json tip = {{"id", id}, {"begin", "2024-01-01T00:00:00Z"}, {"end", "2030-01-01T00:00:00Z"}, {"text", "a tip"}};
    if (change.is_object()) tip.merge_patch(change);
    return tip;
}

inline json CatalogueJson(const json& tips, uint32_t interval = 30) {
    return {{"panel_interval_minutes", interval}, {"tips", tips}};
}

inline tipserver::CatalogueLoad Load(const std::string& text, const std::string& dir = ".") {
    tipserver::CatalogueOptions options;
    options.public_url = "http://tips.example:8080";
    options.now = kNow;
    return tipserver::ParseCatalogue(text, dir, options);
}

inline std::shared_ptr<const tipserver::Catalogue> MustLoad(const json& catalogue, const std::string& dir = ".") {
    const tipserver::CatalogueLoad load = Load(catalogue.dump(), dir);
    for (const auto& p : load.problems) ADD_FAILURE() << p.ToString();
    return load.catalogue;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Ten seconds: a loaded machine can take seconds where an idle one takes a millisecond.
inline bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

struct LogFile {
    coretest::ScratchFolder folder;
    std::string path = folder.File("log");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    tipserver::LogSink sink{fd};
    ~LogFile() { sink.Flush(), ::close(fd); }
    std::string Text() { return sink.Flush(), ReadText(path); }
    bool Has(const std::string& part) { return WaitFor([&] { return Text().find(part) != std::string::npos; }); }
};

struct Socket {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    bool connected = false;
    explicit Socket(uint16_t port) {
        sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Socket() { ::close(fd); }
    bool Send(const std::string& bytes) {  // false once the server has closed
        ssize_t n = 0;
        for (size_t sent = 0; sent < bytes.size(); sent += size_t(n))
            if ((n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)) <= 0) return false;
        return true;
    }
    std::string ReadUntilClosed() {  // what arrived before the close, or before ten silent seconds
        std::string out;
        char chunk[4096];
        ssize_t n = 0;
        for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 10000) > 0 && (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;)
            out.append(chunk, size_t(n));
        return out;
    }
    bool StillOpen() {  // open, and nothing written
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }
};

inline std::string HttpGet(uint16_t port, const std::string& path, const std::string& headers = "") {
    Socket client(port);
    client.Send("GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers + "\r\n");
    return client.ReadUntilClosed();
}

}  // namespace servertest
