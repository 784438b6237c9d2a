#include "query_frame.h"

#include <cstring>

#include "protocol/byte_order.h"
#include "protocol/packet_header.h"

namespace tipserver {

FrameStatus CheckQueryFrame(const uint8_t* data, size_t size, size_t max_bytes) {
    FrameStatus status;
    if (size >= 4 && LoadBigEndian32(data) != kProtocolVersion) {
        status.state = FrameState::kUnreadable;
        return status;
    }
    if (size < 12) return status;
    // The rest length counts everything after its own field.
    const uint64_t total = 12 + uint64_t(LoadBigEndian32(data + 8));
    if (total > max_bytes) {
        status.state = FrameState::kTooLarge;
        return status;
    }
    if (total < kPacketHeaderWords) {
        status.state = FrameState::kUnreadable;
        return status;
    }
    status.total = static_cast<size_t>(total);
    if (size >= total) status.state = FrameState::kComplete;
    return status;
}

bool ReadQueryPacket(const uint8_t* data, size_t total, QueryFields& out) {
    static const char kName[] = "QUERYNEWMESS";
    constexpr size_t kNameLength = sizeof kName - 1;
    if (total < kPacketHeaderWords + kNameLength) return false;
    if (LoadBigEndian32(data + 12) != kNameLength || std::memcmp(data + 16, kName, kNameLength) != 0) return false;
    const size_t body = kPacketHeaderWords + kNameLength;
    return ParseQueryBody(data + body, total - body, &out);
}

}  // namespace tipserver
