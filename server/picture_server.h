// The HTTP server for the catalogue's pictures. It answers GET /<file name>
// with a picture the current catalogue names, from memory, and 404 for
// anything else: nothing else in the catalogue's folder is ever served.
#pragma once

#include <memory>
#include <string>

#include "catalogue_source.h"
#include "log_sink.h"

namespace tipserver {

class PictureServer {
public:
    PictureServer(CatalogueSource& catalogue, LogSink& log);
    ~PictureServer();
    PictureServer(const PictureServer&) = delete;
    PictureServer& operator=(const PictureServer&) = delete;

    // Port 0 picks a free port. False, with the reason, on failure.
    bool Bind(const std::string& host, int port, std::string& error);
    int LocalPort() const { return port_; }

    void Start();
    void Stop();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

}  // namespace tipserver
