#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string>* g_lines = nullptr;
void Capture(const char* text) { g_lines->push_back(text); }
int32_t FixedClock() { return 1234567; }

TEST(Platform, LinesReachTheInstalledSinkAndClockIsReplaceable) {
    std::vector<std::string> lines;
    g_lines = &lines;
    platform::SetLineSinkForTest(Capture);
    platform::DebugLine("first");
    platform::DebugLine(nullptr);
    platform::SetLineSinkForTest(nullptr);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", ""}));

    platform::SetClockForTest(FixedClock);
    EXPECT_EQ(platform::Now(), 1234567);
    platform::SetClockForTest(nullptr);
    EXPECT_GT(platform::Now(), 1600000000);
}

TEST(Platform, ReplaceSwapsFilesInOneStepAndDeleteRemoves) {
    const std::string a = testing::TempDir() + "tr_platform_a";
    const std::string b = testing::TempDir() + "tr_platform_b";
    std::FILE* f = platform::OpenShared(a.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("new", f);
    std::fclose(f);
    f = platform::OpenShared(b.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("old", f);
    std::fclose(f);

    ASSERT_TRUE(platform::ReplaceFileWith(a.c_str(), b.c_str()));
    EXPECT_FALSE(platform::FileExists(a.c_str()));
    f = platform::OpenShared(b.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, f), 3u);
    std::fclose(f);
    EXPECT_STREQ(text, "new");

    EXPECT_TRUE(platform::DeleteFileAt(b.c_str()));
    EXPECT_FALSE(platform::FileExists(b.c_str()));
    EXPECT_FALSE(platform::DeleteFileAt(""));
}

}  // namespace
