// Saves of one data file by two writers at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "core_test_support.h"
#include "store/data_file_io.h"

// Regression: two writers (a worker walked away from, the next start's) shared
// one temporary file, so a reader could see a half-written data file.
TEST(DataFileSave, TwoWritersAtOnceNeverShareATemporaryFile) {
    coretest::ScratchFolder folder;
    const std::string path = folder.File("message.dat");
    const size_t size = sizeof(DataFileHeader) + 65536;
    std::atomic<int> starting{3}, failed{0}, torn{0};
    const auto run = [&](uint8_t fill) {  // 0: the reader
        const std::vector<uint8_t> records(65536, fill);
        for (--starting; starting.load() > 0;) std::this_thread::yield();  // all at once, so that saves overlap
        for (int i = 0; i < 200; ++i) {
            if (fill != 0) failed += !ReplaceDataFile(path.c_str(), DataFileHeader{}, records.data(), records.size());
            const std::vector<uint8_t> seen = fill == 0 ? coretest::ReadBytes(path) : std::vector<uint8_t>{};
            torn +=
                !seen.empty() && (seen.size() != size || std::count(seen.begin(), seen.end(), seen.back()) != 65536);
        }
    };
    std::thread reader(run, 0), first(run, 'a'), second(run, 'b');
    for (std::thread* t : {&reader, &first, &second}) t->join();
    EXPECT_EQ(failed.load() + torn.load(), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1) << "no temporary file stays";
}
