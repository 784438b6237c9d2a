#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_test_support.h"

namespace {

TEST(Platform, NoTextIsAnEmptyLine) {
    coretest::LineCapture lines;
    platform::DebugLine(nullptr);
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{""});
}

TEST(Platform, ReplaceSwapsFilesInOneStepAndDeleteRemoves) {
    coretest::ScratchFolder folder;
    const std::string a = folder.File("a"), b = folder.File("b");
    coretest::WriteBytes(a, {'n', 'e', 'w'});
    coretest::WriteBytes(b, {'o', 'l', 'd'});
    ASSERT_TRUE(platform::ReplaceFileWith(a.c_str(), b.c_str()));
    EXPECT_FALSE(platform::FileExists(a.c_str()));
    EXPECT_EQ(coretest::ReadBytes(b), (std::vector<uint8_t>{'n', 'e', 'w'}));

    EXPECT_TRUE(platform::DeleteFileAt(b.c_str()));
    EXPECT_FALSE(platform::FileExists(b.c_str()));
    EXPECT_FALSE(platform::DeleteFileAt(""));
}

}  // namespace
