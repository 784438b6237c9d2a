#include "platform/platform.h"

#include <gtest/gtest.h>

#include "core_test_support.h"

// No text is an empty line; a replace swaps files in one step.
TEST(Platform, EmptyLineReplaceAndDelete) {
    coretest::LineCapture lines;
    platform::DebugLine(nullptr);
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{""});
    coretest::ScratchFolder folder;
    const std::string a = folder.File("a"), b = folder.File("b");
    coretest::WriteBytes(a, {'n'});
    coretest::WriteBytes(b, {'o'});
    EXPECT_TRUE(platform::ReplaceFileWith(a.c_str(), b.c_str()) && !platform::FileExists(a.c_str()));
    EXPECT_EQ(coretest::ReadBytes(b), std::vector<uint8_t>{'n'});
    EXPECT_TRUE(platform::DeleteFileAt(b.c_str()) && !platform::FileExists(b.c_str()));
    EXPECT_FALSE(platform::DeleteFileAt(""));
}
