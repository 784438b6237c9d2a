#include "protocol/byte_order.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

TEST(ByteOrder, ReadsAndWritesBigEndianAndNeverPastTheEnd) {
    const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFE, 0x7A};
    ByteReader in(data, sizeof data);
    uint32_t u = 0; int32_t i = 0; uint8_t b = 0;
    EXPECT_TRUE(in.ReadU32(u) && in.ReadI32(i) && !in.ReadU32(u) && in.Position() == 8 && in.ReadU8(b));
    EXPECT_EQ(std::make_tuple(u, i, b), std::make_tuple(0x01020304u, -2, uint8_t(0x7A)));
    in.Seek(4);
    EXPECT_TRUE(in.CanRead(5) && !in.CanRead(6) && !in.CanRead(UINT64_MAX) && !in.CanRead(UINT32_MAX) &&
                !in.Skip(UINT64_MAX - 2));
    in.Seek(uint64_t(4) + UINT32_MAX);  // a record length beyond the data
    EXPECT_FALSE(in.ReadU8(b) || in.CanRead(0) || ByteReader(nullptr, 100).ReadU8(b));
    uint8_t buffer[6] = {};
    ByteWriter fixed(buffer, sizeof buffer);
    EXPECT_TRUE(fixed.PutU32(0xA1B2C3D4) && !fixed.PutU32(7) && !fixed.PutU8(1) && !fixed.Ok() && fixed.Size() == 4);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 6), (std::vector<uint8_t>{0xA1, 0xB2, 0xC3, 0xD4, 0, 0}));
}
