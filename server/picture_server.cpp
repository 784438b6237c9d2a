#include "picture_server.h"

#include <httplib.h>

#include <chrono>
#include <thread>

namespace tipserver {
namespace {
constexpr size_t kHttpThreads = 32;
}  // namespace

class PictureServer::Impl {
public:
    Impl(CatalogueSource& catalogue, LogSink& log) : catalogue_(catalogue), log_(log) {
        http_.set_read_timeout(10, 0);
        http_.set_write_timeout(10, 0);
        http_.set_keep_alive_timeout(5);
        http_.set_payload_max_length(64 * 1024);
        // A thread per open connection: enough that a few idle keep-alive
        // clients do not hold up the pictures of everyone else.
        http_.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
        http_.Get(R"(/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
            const auto catalogue = catalogue_.Current();
            const auto it = catalogue ? catalogue->pictures.find(request.matches[1].str())
                                      : decltype(catalogue->pictures.end())();
            if (!catalogue || it == catalogue->pictures.end()) {
                response.status = 404;
                response.set_content("no such picture\n", "text/plain");
                return;
            }
            response.set_content(it->second.bytes, it->second.content_type.c_str());
            response.set_header("Cache-Control", "no-cache");
        });
        http_.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
            log_.Write("picture peer=" + request.remote_addr + ":" + std::to_string(request.remote_port) + " path=\"" +
                       EscapeForLog(request.path, 200) + "\" status=" + std::to_string(response.status) +
                       " bytes=" + std::to_string(response.body.size()));
        });
    }

    httplib::Server http_;
    std::thread thread_;

private:
    CatalogueSource& catalogue_;
    LogSink& log_;
};

PictureServer::PictureServer(CatalogueSource& catalogue, LogSink& log)
    : impl_(std::make_unique<Impl>(catalogue, log)) {}

PictureServer::~PictureServer() { Stop(); }

bool PictureServer::Bind(const std::string& host, int port, std::string& error) {
    port_ = port == 0 ? impl_->http_.bind_to_any_port(host) : (impl_->http_.bind_to_port(host, port) ? port : -1);
    if (port_ <= 0) {
        error = "cannot listen for HTTP on " + host + ":" + std::to_string(port);
        return false;
    }
    return true;
}

void PictureServer::Start() {
    impl_->thread_ = std::thread([this] { impl_->http_.listen_after_bind(); });
    // A stop before the loop runs would be lost; wait until it runs.
    for (int i = 0; i < 500 && !impl_->http_.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void PictureServer::Stop() {
    if (!impl_->thread_.joinable()) return;
    impl_->http_.stop();
    impl_->thread_.join();
}

}  // namespace tipserver
