// Shared helpers for the core's tests: captured diagnostic lines, a settable
// clock, scratch folders, and builders for tips and packets.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/owned.h"
#include "platform/platform.h"
#include "protocol/tip_record.h"
#include "shared/line_capture.h"
#include "shared/wire_builders.h"
#include "store/show_data_list.h"

namespace coretest {

using ::LineCapture;

// Puts the core's clock at a chosen second while alive.
class FixedClock {
public:
    explicit FixedClock(int32_t now) {
        Now().store(now);
        platform::SetClockForTest(&Read);
    }
    ~FixedClock() { platform::SetClockForTest(nullptr); }
    void Set(int32_t now) { Now().store(now); }

private:
    static std::atomic<int32_t>& Now() {
        static std::atomic<int32_t> now{0};
        return now;
    }
    static int32_t Read() { return Now().load(); }
};

// A fresh folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> serial{0};
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tr_core_";
        if (info != nullptr) name += std::string(info->test_suite_name()) + "_" + info->name();
        name += "_" + std::to_string(serial++);
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        path_ = std::filesystem::path(testing::TempDir()) / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    // The folder with a trailing separator, as the service hands it on.
    std::string Folder() const { return path_.string() + "/"; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    const handles::CFile f(std::fopen(path.c_str(), "wb"));
    ASSERT_TRUE(f) << path;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f.get());
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    const handles::CFile f(std::fopen(path.c_str(), "rb"));
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
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

// Ids of the tips the sliding panel would get, in order, emptying the queue.
inline std::vector<uint32_t> DrainSlideQueue(CShowDataList& store) {
    std::vector<uint32_t> ids;
    while (TipRecord* tip = store.GetOneShowData(1)) {
        ids.push_back(tip->nMessageID);
        delete tip;
    }
    return ids;
}

using wire::Packet;
using wire::ResponseBody;
using wire::Words;

}  // namespace coretest
