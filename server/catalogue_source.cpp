#include "catalogue_source.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>

#include "catalogue_changes.h"
#include "picture_file.h"

namespace tipserver {

CatalogueSource::CatalogueSource(std::string path, CatalogueOptions options, LogSink& log)
    : path_(std::move(path)), options_(std::move(options)), log_(log) {
    options_.abandon = &abandon_;
}

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
    generation_.fetch_add(1, std::memory_order_release);
    const auto since_1970 = std::chrono::system_clock::now().time_since_epoch();
    loaded_at_ms_.store(std::chrono::duration_cast<std::chrono::milliseconds>(since_1970).count(),
                        std::memory_order_relaxed);
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

// What was read counts as loaded as it was before the load read it. After a
// refusal the pictures in service stay watched, beside those the refused
// catalogue named.
void CatalogueSource::Watch(const Stamps& before, const CatalogueLoad& load) {
    loaded_ = load.picture_stamps;
    loaded_[""] = before.at("");
    refused_pictures_.clear();
    if (load.catalogue) return;
    for (const auto& named : load.picture_stamps) refused_pictures_.insert(named.first);
    const std::shared_ptr<const Catalogue> serving = Current();
    if (!serving) return;
    for (const auto& picture : serving->pictures) {
        const auto stamp = before.find(picture.first);
        loaded_.emplace(picture.first, stamp != before.end() ? stamp->second : std::string());
    }
}

bool CatalogueSource::LoadInitial(std::vector<CatalogueProblem>& problems) {
    const Stamps before = StampsNow();
    CatalogueLoad load = Load();
    problems = load.problems;
    if (!load.catalogue) return false;
    Take(load.catalogue);
    LogWarnings(load.warnings);
    Watch(before, load);
    seen_ = loaded_;
    return true;
}

void CatalogueSource::Reload(const char* reason) {
    // Taken before loading, so a change during the load is seen next time.
    const Stamps before = StampsNow();
    const bool retrying = retry_;
    CatalogueLoad load = Load();
    if (abandon_.load(std::memory_order_relaxed)) return;
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
        Watch(before, load);
        return;
    }
    const std::shared_ptr<const Catalogue> previous = Current();
    const CatalogueChanges changes = CompareCatalogues(*previous, *load.catalogue, options_.now);
    // Counted before the catalogue is taken, so a scrape that sees its generation sees its count too.
    unreachable_.store(changes.unreachable.size(), std::memory_order_relaxed);
    Take(load.catalogue);
    Watch(before, load);
    // Only what this reload brings: the rest was said when it came.
    std::vector<CatalogueProblem> warnings;
    for (const CatalogueProblem& warning : load.warnings) {
        const auto& brought = changes.new_or_changed;
        if (std::find(brought.begin(), brought.end(), warning.position) != brought.end()) warnings.push_back(warning);
    }
    warnings.insert(warnings.end(), changes.unreachable.begin(), changes.unreachable.end());
    LogWarnings(warnings);
    log_.Write("catalogue reloaded (" + std::string(reason) + "): " + std::to_string(load.catalogue->tips.size()) +
               " tips, " + std::to_string(load.catalogue->pictures.size()) + " pictures; " + changes.Summary());
}

void CatalogueSource::Poll() {
    Stamps now = StampsNow();
    const bool settled = now == seen_;
    seen_ = std::move(now);
    if (settled && (seen_ != loaded_ || retry_))
        Reload(!retry_ ? "file changed" : last_read_failed_ ? "retry after a read error" : "retry");
}

CatalogueSource::Stamps CatalogueSource::StampsNow() const {
    Stamps stamps{{"", FileStamp(path_)}};
    const std::string dir = CatalogueFolder(path_);
    const std::shared_ptr<const Catalogue> catalogue = Current();
    if (catalogue)
        for (const auto& picture : catalogue->pictures)
            stamps.emplace(picture.first, FileStamp(dir + "/" + picture.first));
    for (const std::string& name : refused_pictures_) stamps.emplace(name, FileStamp(dir + "/" + name));
    return stamps;
}

}  // namespace tipserver
