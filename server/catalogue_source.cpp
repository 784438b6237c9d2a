#include "catalogue_source.h"

#include <sys/stat.h>

#include <atomic>
#include <ctime>

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
    return LoadCatalogueFile(path_, options_);
}

bool CatalogueSource::LoadInitial(std::vector<CatalogueProblem>& problems) {
    CatalogueLoad load = Load();
    problems = load.problems;
    if (!load.catalogue) return false;
    std::atomic_store(&current_, load.catalogue);
    loaded_fingerprint_ = seen_fingerprint_ = Fingerprint();
    return true;
}

void CatalogueSource::Reload(const char* reason) {
    // Taken before loading, so a change during the load is seen next time.
    const std::string before = Fingerprint();
    CatalogueLoad load = Load();
    if (!load.catalogue) {
        for (const CatalogueProblem& problem : load.problems) log_.Write("catalogue problem: " + problem.ToString());
        log_.Write("catalogue reload (" + std::string(reason) + ") refused, " + std::to_string(load.problems.size()) +
                   " problems; still serving the previous catalogue");
        loaded_fingerprint_ = before;
        return;
    }
    std::atomic_store(&current_, load.catalogue);
    loaded_fingerprint_ = Fingerprint();
    log_.Write("catalogue reloaded (" + std::string(reason) + "): " + std::to_string(load.catalogue->tips.size()) +
               " tips, " + std::to_string(load.catalogue->pictures.size()) + " pictures");
}

void CatalogueSource::Poll() {
    const std::string now = Fingerprint();
    const bool settled = now == seen_fingerprint_;
    seen_fingerprint_ = now;
    if (settled && now != loaded_fingerprint_) Reload("file changed");
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
