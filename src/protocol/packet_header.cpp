#include "protocol/packet_header.h"

#include "protocol/byte_order.h"

bool AppendPacketHeader(ByteWriter& out, uint32_t sequence, std::string_view name, uint32_t bodyLength) {
    const uint64_t rest = 4 + uint64_t(name.size()) + bodyLength;
    if (rest > UINT32_MAX) return false;
    return out.PutU32(kProtocolVersion) && out.PutU32(sequence) && out.PutU32(uint32_t(rest)) &&
           out.PutText(name.data(), name.size());
}
