// The catalogue the server answers from, and its reloading: on request
// (SIGHUP) or when the catalogue file or one of its pictures has changed and
// then stayed unchanged for one look. A catalogue with any problem is not
// taken; the one before keeps serving and the log says why.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "catalogue.h"
#include "log_sink.h"

namespace tipserver {

class CatalogueSource {
public:
    CatalogueSource(std::string path, CatalogueOptions options, LogSink& log);

    // The base address of the pictures; set before the first load.
    void SetPublicUrl(const std::string& url) { options_.public_url = url; }

    // The first load. False, with the problems, when it cannot serve.
    bool LoadInitial(std::vector<CatalogueProblem>& problems);

    // Safe from any thread.
    std::shared_ptr<const Catalogue> Current() const;

    // Loads the file again now; `reason` goes into the log line.
    void Reload(const char* reason);

    // Reloads when the files have changed and have settled since the last look.
    void Poll();

private:
    std::string Fingerprint() const;
    CatalogueLoad Load();

    const std::string path_;
    CatalogueOptions options_;
    LogSink& log_;
    std::shared_ptr<const Catalogue> current_;
    std::string loaded_fingerprint_;
    std::string seen_fingerprint_;
};

}  // namespace tipserver
