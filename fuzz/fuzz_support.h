// What every fuzz target shares: a fixed clock, silent diagnostics, a store
// that may only delete inside a folder nobody has, and scratch files.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "store/show_data_list.h"

constexpr int32_t kFuzzNow = 1700000000;

inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

inline void FuzzSetUp() {
    platform::SetClockForTest([] { return kFuzzNow; });
    platform::SetLineSinkForTest([](const char*) {});
}

struct ConfinedStore : CShowDataList {
    ConfinedStore() { SetPictureFolder("/nonexistent-tiprelay-fuzz/tips/"); }
};

// The input, as a data file, loaded into `store`; what that store saves,
// loaded into `reloaded`. Returns how many records the second load took. The
// files are the process's own, in memory where possible, and go at its end.
template <typename Load, typename Save>
int LoadSaveLoad(const uint8_t* data, size_t size, Load load, Save save, CShowDataList& store,
                 CShowDataList& reloaded) {
    static const std::string input = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                     "/tiprelay_fuzz_" + std::to_string(getpid()),
                             saved = input + "_saved";
    [[maybe_unused]] static const int removed = std::atexit([] {
        std::remove(input.c_str());
        std::remove(saved.c_str());
    });
    std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    load(input.c_str(), &store);
    Require(save(saved.c_str(), &store), "save succeeds");
    return load(saved.c_str(), &reloaded);
}

// Takes every tip out through the ways the panels and the picture pass use.
inline void DrainStore(CShowDataList& store) {
    while (TipRecord* tip = store.GetWaitPicData()) {
        tip->bPicReady = 1;  // as after a failed download: shown without a picture
        std::fill(std::begin(tip->szPicture), std::end(tip->szPicture), '\0');
        store.AddOneShowData(tip);
    }
    while (TipRecord* tip = store.GetOneShowData(1)) {
        Require(tip->nButtonCount <= 3 && tip->byVersion == 11, "handed-out tip passed the checks");
        delete tip;
    }
    Require(store.GetOneShowData(0) == nullptr, "static queue stays empty");
}
