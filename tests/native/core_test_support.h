// Helpers for the core's tests: a settable clock, scratch folders, file
// bytes and tips; captured lines and packets come from tests/shared.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "protocol/tip_record.h"
#include "shared/line_capture.h"
#include "shared/named_fields.h"
#include "shared/wire_builders.h"
#include "store/show_data_list.h"

namespace coretest {

// Puts the core's clock at a chosen second while alive.
struct FixedClock {
    explicit FixedClock(int32_t now) {
        Set(now);
        platform::SetClockForTest([] { return now_.load(); });
    }
    ~FixedClock() { platform::SetClockForTest(nullptr); }
    void Set(int32_t now) { now_ = now; }
    static inline std::atomic<int32_t> now_{0};
};

// A fresh folder, removed with everything in it at the end.
struct ScratchFolder {
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Folder() const { return path + "/"; }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::string path = [] {
        std::string name = testing::TempDir() + "tr_core_XXXXXX";
        mkdtemp(name.data());
        return name;
    }();
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {});
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// A tip that the store accepts at time `now` when begin <= now <= end.
inline std::unique_ptr<TipRecord> MakeTip(uint32_t id, int32_t begin, int32_t end, const char* text = "text") {
    auto tip = NewTipRecord();
    tip->nMessageID = id;
    tip->tBeginTime = begin;
    tip->tEndTime = end;
    tip->nShowSeconds = 10;
    tip->bPicReady = 1;
    tip->byVersion = kTipRecordVersion;
    SetFieldText(tip->szText, text);
    return tip;
}

// first..last, then `more`.
inline std::vector<uint32_t> Ids(uint32_t first, uint32_t last, std::vector<uint32_t> more = {}) {
    std::vector<uint32_t> ids;
    for (uint32_t id = first; id <= last; ++id) ids.push_back(id);
    ids.insert(ids.end(), more.begin(), more.end());
    return ids;
}

// Ids of the tips the sliding panel would get (or of those waiting for a picture), in order, emptying that queue.
inline std::vector<uint32_t> DrainQueue(CShowDataList& store, bool waiting = false) {
    std::vector<uint32_t> ids;
    while (std::unique_ptr<TipRecord> tip{waiting ? store.GetWaitPicData() : store.GetOneShowData(1)})
        ids.push_back(uint32_t{tip->nMessageID});
    return ids;
}

}  // namespace coretest
