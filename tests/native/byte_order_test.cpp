#include "protocol/byte_order.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(ByteReader, ReadsBigEndianAndRefusesToRunPastTheEnd) {
    const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFE, 0x7A};
    ByteReader in(data, sizeof data);
    uint32_t u = 0;
    int32_t i = 0;
    uint8_t b = 0;
    ASSERT_TRUE(in.ReadU32(u));
    EXPECT_EQ(u, 0x01020304u);
    ASSERT_TRUE(in.ReadI32(i));
    EXPECT_EQ(i, -2);
    EXPECT_FALSE(in.ReadU32(u));  // one byte left
    EXPECT_EQ(in.Position(), 8u);
    ASSERT_TRUE(in.ReadU8(b));
    EXPECT_EQ(b, 0x7A);
    EXPECT_FALSE(in.ReadU8(b));
}

TEST(ByteReader, HugeLengthsAndFarPositionsNeverWrapBackIntoTheBuffer) {
    const uint8_t data[16] = {};
    ByteReader in(data, sizeof data);
    in.Seek(4);
    EXPECT_FALSE(in.CanRead(UINT64_MAX));
    EXPECT_FALSE(in.CanRead(UINT32_MAX));
    EXPECT_FALSE(in.Skip(UINT64_MAX - 2));
    EXPECT_TRUE(in.CanRead(12));
    EXPECT_FALSE(in.CanRead(13));

    in.Seek(uint64_t(4) + UINT32_MAX);  // a record length beyond the data
    uint8_t b;
    EXPECT_FALSE(in.ReadU8(b));
    EXPECT_FALSE(in.CanRead(0));

    ByteReader none(nullptr, 100);
    EXPECT_FALSE(none.ReadU8(b));
}

TEST(ByteWriter, FixedBufferFailsWholeWritesAndStaysFailed) {
    uint8_t buffer[6] = {};
    ByteWriter out(buffer, sizeof buffer);
    EXPECT_TRUE(out.PutU32(0xA1B2C3D4));
    EXPECT_FALSE(out.PutU32(7));  // would need 8 bytes
    EXPECT_EQ(buffer[4], 0);      // nothing of it was written
    EXPECT_FALSE(out.PutU8(1));   // failed for good
    EXPECT_FALSE(out.Ok());
    EXPECT_EQ(out.Size(), 4u);
    EXPECT_EQ(LoadBigEndian32(buffer), 0xA1B2C3D4u);
}

TEST(ByteWriter, GrowingWriterAppendsTextsAndPatchesWords) {
    std::vector<uint8_t> bytes = {0xEE};
    ByteWriter out(bytes);
    out.PutU32(0);
    out.PutText("abc", 3);
    out.PutU8(9);
    EXPECT_TRUE(out.PatchU32(0, 42));
    EXPECT_FALSE(out.PatchU32(9, 1));  // would reach past what was written
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xEE, 0, 0, 0, 42, 0, 0, 0, 3, 'a', 'b', 'c', 9}));
    EXPECT_EQ(out.Size(), 12u);
}

}  // namespace
