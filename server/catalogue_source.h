// The catalogue the server answers from, and its reloading: on request
// (SIGHUP) or when the catalogue file or one of its pictures has changed and
// then stayed unchanged for one look. The pictures watched are those of the
// catalogue in service and those the last refused catalogue named, so a
// missing picture that arrives brings the refused catalogue in. A catalogue
// with any problem is not taken; the one before keeps serving and the log
// says why. A file that could not be read (out of descriptors, say), or that
// was refused for a reason time may lift (an `updated` a little in the
// future), is tried again at each look. Each load logs what changed and warns
// of new or changed tips that clients will not show as written or that
// clients which have asked will never get. Reload and Poll are called from
// one thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
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

    // Reloads when the files have changed and have settled since the last
    // look, or when the last load could not read them.
    void Poll();

    // Makes a load in progress, and every later one, give up: the server is
    // stopping. Safe from any thread.
    void Abandon() { abandon_.store(true, std::memory_order_relaxed); }

    // For the metrics; safe from any thread.
    uint64_t Generation() const { return generation_.load(std::memory_order_acquire); }
    uint64_t ReloadFailures() const { return reload_failures_.load(std::memory_order_relaxed); }
    // The file on disk was refused at its last load (the previous catalogue serves).
    bool Refused() const { return refused_.load(std::memory_order_relaxed); }
    // New or changed tips of the last reload that clients which had asked will never get.
    uint64_t UnreachableTips() const { return unreachable_.load(std::memory_order_relaxed); }
    double LoadSeconds() const { return load_seconds_.load(std::memory_order_relaxed); }
    // Seconds since 1970, to the millisecond.
    double LoadedAt() const { return static_cast<double>(loaded_at_ms_.load(std::memory_order_relaxed)) / 1000; }

  private:
    // Stamps by picture name; the catalogue file's under "".
    using Stamps = std::map<std::string, std::string>;

    Stamps StampsNow() const;
    CatalogueLoad Load();
    void Take(std::shared_ptr<const Catalogue> catalogue);
    void Watch(const Stamps& before, const CatalogueLoad& load);
    void LogWarnings(const std::vector<CatalogueProblem>& warnings);

    const std::string path_;
    CatalogueOptions options_;
    LogSink& log_;
    std::shared_ptr<const Catalogue> current_;
    // Each file as it was before the last load read it: a change during a
    // load differs from this and is loaded at a later look.
    Stamps loaded_;
    Stamps seen_;
    std::set<std::string> refused_pictures_;
    bool retry_ = false;
    bool last_read_failed_ = false;
    std::string last_refusal_;
    std::atomic<uint64_t> generation_{0};
    std::atomic<uint64_t> reload_failures_{0};
    std::atomic<bool> refused_{false};
    std::atomic<uint64_t> unreachable_{0};
    std::atomic<double> load_seconds_{0};
    std::atomic<int64_t> loaded_at_ms_{0};
    std::atomic<bool> abandon_{false};
};

}  // namespace tipserver
