// Helpers for the tips server's tests: catalogues built from JSON, with
// their pictures in a scratch folder, and a loopback client.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <string>
#include <vector>

#include "catalogue.h"
#include "core_test_support.h"

namespace servertest {

using nlohmann::json;

// 2024-05-01T00:00:00Z: inside every window the helpers make.
constexpr int64_t kNow = 1714521600;

// The smallest file a client takes for a GIF picture.
inline std::vector<uint8_t> GifBytes() {
    const std::string bytes = "GIF89a\x01\x00\x01\x00\x00\x00\x00;";
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// A tip valid from 2024-01-01 to 2030-01-01 with a short text.
inline json Tip(uint32_t id) {
    return {{"id", id}, {"begin", "2024-01-01T00:00:00Z"}, {"end", "2030-01-01T00:00:00Z"}, {"text", "a tip"}};
}

inline json CatalogueJson(const json& tips, uint32_t interval = 30) {
    return {{"panel_interval_minutes", interval}, {"tips", tips}};
}

// Braces around one json value would copy it rather than make a list.
inline json CatalogueJson(std::initializer_list<json> tips, uint32_t interval = 30) {
    json list = json::array();
    for (const json& tip : tips) list.push_back(tip);
    return CatalogueJson(list, interval);
}

inline tipserver::CatalogueLoad Load(const json& catalogue, const std::string& dir = ".", int64_t now = kNow) {
    tipserver::CatalogueOptions options;
    options.public_url = "http://tips.example:8080";
    options.now = now;
    return tipserver::ParseCatalogue(catalogue.dump(), dir, options);
}

// The catalogue, which the test needs to load without problems.
inline std::shared_ptr<const tipserver::Catalogue> MustLoad(const json& catalogue, const std::string& dir = ".") {
    tipserver::CatalogueLoad load = Load(catalogue, dir);
    std::string problems;
    for (const auto& p : load.problems) problems += p.ToString() + "\n";
    EXPECT_TRUE(load.catalogue) << problems;
    return load.catalogue;
}

// A loopback client connection.
class Socket {
public:
    explicit Socket(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Socket() { ::close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Connected() const { return connected_; }

    // False once the server has closed or reset the connection.
    bool Send(const void* data, size_t size) {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::send(fd_, p, size, MSG_NOSIGNAL);
            if (n <= 0) return false;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    bool Send(const std::vector<uint8_t>& bytes) { return Send(bytes.data(), bytes.size()); }

    // Reads until the server closes (true) or `limit` passes (false).
    bool ReadUntilClosed(std::vector<uint8_t>& out, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
            uint8_t chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) return true;  // closed, or reset
            out.insert(out.end(), chunk, chunk + n);
        }
    }

    // True while the server keeps the connection open without writing.
    bool StillOpen() {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }

private:
    int fd_;
    bool connected_ = false;
};

}  // namespace servertest
