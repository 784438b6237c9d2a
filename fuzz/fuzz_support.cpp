#include "fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "platform/platform.h"
#include "store/show_data_list.h"

namespace {
int32_t FixedNow() { return kFuzzNow; }
void Silent(const char*) {}
}  // namespace

void FuzzSetUp() {
    static const bool done = [] {
        platform::SetClockForTest(&FixedNow);
        platform::SetLineSinkForTest(&Silent);
        return true;
    }();
    (void)done;
}

void ConfineStore(CShowDataList& store) { store.SetPictureFolder("/nonexistent-tiprelay-fuzz/tips/"); }

namespace {
std::vector<std::string>& ScratchFiles() {
    static std::vector<std::string> files;
    return files;
}
void RemoveScratchFiles() {
    for (const std::string& path : ScratchFiles()) std::remove(path.c_str());
}
}  // namespace

std::string ScratchPath(const char* name) {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string path = std::string(dir) + "/tiprelay_fuzz_" + std::to_string(getpid()) + "_" + name;
    // Gone again when the run ends, so that runs do not pile up in memory.
    if (ScratchFiles().empty()) std::atexit(RemoveScratchFiles);
    ScratchFiles().push_back(path);
    return path;
}

bool WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

void DrainStore(CShowDataList& store) {
    while (TipRecord* tip = store.GetWaitPicData()) {
        tip->bPicReady = 1;  // as after a failed download: shown without a picture
        std::fill(std::begin(tip->szPicture), std::end(tip->szPicture), '\0');
        store.AddOneShowData(tip);
    }
    int32_t count = store.GetShowDataCount();
    std::vector<TipRecord> tips(size_t(count > 0 ? count : 0));
    store.GetAllShowData(tips.data(), count);
    Require(count <= store.GetShowDataCount(), "copy within its count");
    while (TipRecord* tip = store.GetOneShowData(1)) {
        Require(tip->nButtonCount <= 3 && tip->byVersion == 11, "handed-out tip passed the checks");
        delete tip;
    }
    Require(store.GetOneShowData(0) == nullptr, "static queue stays empty");
}

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}
