// Saves of one data file by two writers at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "core_test_support.h"
#include "store/data_file_io.h"

namespace {

// A worker walked away from and the next start's worker may save at the
// same moment: every save lands, a reader never sees a half-written file
// (the header and one writer's bytes alone), and no temporary file stays.
TEST(DataFileSave, TwoWritersAtOnceNeverShareATemporaryFile) {
    coretest::ScratchFolder folder;
    const std::string path = folder.File("message.dat");
    constexpr size_t kBytes = 64 * 1024;
    const auto whole = [&](const std::vector<uint8_t>& file) {
        return file.size() == sizeof(DataFileHeader) + kBytes &&
               size_t(std::count(file.begin(), file.end(), file.back())) == kBytes;
    };
    std::atomic<int> failures{0}, starting{3}, torn{0};
    const auto run = [&](uint8_t fill) {
        const std::vector<uint8_t> records(kBytes, fill);
        for (--starting; starting.load() > 0;) std::this_thread::yield();  // all at once, so that saves overlap
        for (int i = 0; i < 200; ++i) {
            if (fill == 0) {
                const std::vector<uint8_t> seen = coretest::ReadBytes(path);
                torn += !seen.empty() && !whole(seen);
            }
            if (fill != 0) failures += !ReplaceDataFile(path.c_str(), DataFileHeader{}, records.data(), kBytes);
        }
    };
    std::thread reader(run, 0), first(run, 'a'), second(run, 'b');
    reader.join();
    first.join();
    second.join();
    EXPECT_EQ(failures.load() + torn.load(), 0);
    EXPECT_TRUE(whole(coretest::ReadBytes(path)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);
}

}  // namespace
