#include "platform/platform.h"

#include <gtest/gtest.h>

#include "shared/line_capture.h"

TEST(Platform, NoTextIsAnEmptyLine) {
    LineCapture lines;
    platform::DebugLine(nullptr);
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{""});
}
