// What every fuzz target shares: a fixed clock, silent diagnostics, a store
// that may only delete inside a folder nobody has, and scratch files.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/show_data_list.h"

constexpr int32_t kFuzzNow = 1700000000;

// Ends the run loudly when a property does not hold.
inline void Require(bool holds, const char* what) {
    if (!holds) std::fprintf(stderr, "property broken: %s\n", what), std::abort();
}

// Fixes the clock and silences the diagnostic lines.
inline void FuzzSetUp() {
    platform::SetClockForTest([] { return kFuzzNow; });
    platform::SetLineSinkForTest([](const char*) {});
}

inline void ConfineStore(CShowDataList& store) { store.SetPictureFolder("/nonexistent-tiprelay-fuzz/tips/"); }

// A file path private to this process, in memory where possible, removed
// when the run ends so that runs do not pile up there.
inline std::string ScratchPath(const char* name) {
    static std::vector<std::string> files;
    if (files.empty()) std::atexit([] { for (const auto& path : files) std::remove(path.c_str()); });
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    files.push_back(std::string(dir) + "/tiprelay_fuzz_" + std::to_string(getpid()) + "_" + name);
    return files.back();
}

inline bool WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f != nullptr && (size == 0 || std::fwrite(data, 1, size, f) == size);
    return f != nullptr && std::fclose(f) == 0 && ok;
}

// Takes every tip out through the ways the panels and the picture pass use.
inline void DrainStore(CShowDataList& store) {
    while (TipRecord* tip = store.GetWaitPicData()) {
        tip->bPicReady = 1;  // as after a failed download: shown without a picture
        std::fill(std::begin(tip->szPicture), std::end(tip->szPicture), '\0');
        store.AddOneShowData(tip);
    }
    int32_t count = store.GetShowDataCount();
    std::vector<TipRecord> tips(size_t(std::max(count, 0)));
    store.GetAllShowData(tips.data(), count);
    Require(count <= store.GetShowDataCount(), "copy within its count");
    while (TipRecord* tip = store.GetOneShowData(1)) {
        Require(tip->nButtonCount <= 3 && tip->byVersion == 11, "handed-out tip passed the checks");
        delete tip;
    }
    Require(store.GetOneShowData(0) == nullptr, "static queue stays empty");
}
