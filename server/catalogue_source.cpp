#include "catalogue_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>

#include "catalogue_changes.h"

namespace tipserver {
namespace {

std::string FileStamp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return "-;";
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) +
           "." + std::to_string(st.st_mtim.tv_nsec) + ";";
}

}  // namespace

CatalogueSource::CatalogueSource(std::string path, CatalogueOptions options, LogSink& log)
    : path_(std::move(path)), options_(std::move(options)), log_(log) {}

std::shared_ptr<const Catalogue> CatalogueSource::Current() const { return std::atomic_load(&current_); }

CatalogueLoad CatalogueSource::Load() {
    options_.now = static_cast<int64_t>(std::time(nullptr));
    const auto started = std::chrono::steady_clock::now();
    CatalogueLoad load = LoadCatalogueFile(path_, options_);
    load_seconds_.store(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
                        std::memory_order_relaxed);
    return load;
}

void CatalogueSource::Take(std::shared_ptr<const Catalogue> catalogue) {
    std::atomic_store(&current_, std::move(catalogue));
    generation_.fetch_add(1, std::memory_order_relaxed);
    loaded_at_.store(options_.now, std::memory_order_relaxed);
    retry_ = false;
    refused_.store(false, std::memory_order_relaxed);
    last_refusal_.clear();
}

void CatalogueSource::LogWarnings(const std::vector<CatalogueProblem>& warnings) {
    // A large catalogue could fill the log: the first few, and `check` for the rest.
    constexpr size_t kMostLogged = 20;
    for (size_t i = 0; i < warnings.size() && i < kMostLogged; ++i)
        log_.Write("catalogue warning: " + warnings[i].ToString());
    if (warnings.size() > kMostLogged)
        log_.Write("catalogue warning: " + std::to_string(warnings.size() - kMostLogged) +
                   " more; tipserver check shows them all");
}

bool CatalogueSource::LoadInitial(std::vector<CatalogueProblem>& problems) {
    CatalogueLoad load = Load();
    problems = load.problems;
    if (!load.catalogue) return false;
    Take(load.catalogue);
    LogWarnings(load.warnings);
    loaded_fingerprint_ = seen_fingerprint_ = Fingerprint();
    return true;
}

void CatalogueSource::Reload(const char* reason) {
    // Taken before loading, so a change during the load is seen next time.
    const std::string before = Fingerprint();
    const bool retrying = retry_;
    CatalogueLoad load = Load();
    if (!load.catalogue) {
        reload_failures_.fetch_add(1, std::memory_order_relaxed);
        std::string refusal;
        for (const CatalogueProblem& problem : load.problems)
            refusal += "catalogue problem: " + problem.ToString() + "\n";
        // A read that failed is tried again at the next look; while it keeps
        // failing the same way, the log says so once.
        if (!retrying || refusal != last_refusal_) {
            for (const CatalogueProblem& problem : load.problems)
                log_.Write("catalogue problem: " + problem.ToString());
            log_.Write("catalogue reload (" + std::string(reason) + ") refused, " +
                       std::to_string(load.problems.size()) + " problems; " +
                       (load.read_failed || load.may_pass_later ? "trying again at the next look; " : "") +
                       "still serving the previous catalogue");
        }
        last_refusal_ = refusal;
        retry_ = load.read_failed || load.may_pass_later;
        last_read_failed_ = load.read_failed;
        refused_.store(true, std::memory_order_relaxed);
        loaded_fingerprint_ = before;
        return;
    }
    const std::shared_ptr<const Catalogue> previous = Current();
    const CatalogueChanges changes = CompareCatalogues(*previous, *load.catalogue, options_.now);
    Take(load.catalogue);
    loaded_fingerprint_ = Fingerprint();
    // Only what this reload brings: the rest was said when it came.
    std::vector<CatalogueProblem> warnings;
    for (const CatalogueProblem& warning : load.warnings) {
        const auto& brought = changes.new_or_changed;
        if (std::find(brought.begin(), brought.end(), warning.position) != brought.end()) warnings.push_back(warning);
    }
    warnings.insert(warnings.end(), changes.unreachable.begin(), changes.unreachable.end());
    LogWarnings(warnings);
    unreachable_.store(changes.unreachable.size(), std::memory_order_relaxed);
    log_.Write("catalogue reloaded (" + std::string(reason) + "): " + std::to_string(load.catalogue->tips.size()) +
               " tips, " + std::to_string(load.catalogue->pictures.size()) + " pictures; " + changes.Summary());
}

void CatalogueSource::Poll() {
    const std::string now = Fingerprint();
    const bool settled = now == seen_fingerprint_;
    seen_fingerprint_ = now;
    if (settled && (now != loaded_fingerprint_ || retry_))
        Reload(!retry_ ? "file changed" : last_read_failed_ ? "retry after a read error" : "retry");
}

std::string CatalogueSource::Fingerprint() const {
    std::string fingerprint = FileStamp(path_);
    const std::shared_ptr<const Catalogue> catalogue = Current();
    if (!catalogue) return fingerprint;
    const std::string dir = CatalogueFolder(path_);
    for (const auto& picture : catalogue->pictures) fingerprint += FileStamp(dir + "/" + picture.first);
    return fingerprint;
}

}  // namespace tipserver
