// Framing of the one query a connection carries. The client writes its
// packet and then waits for the answer, so the server must know from the
// packet itself when the query is complete: the rest length in the header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/query_body.h"

namespace tipserver {

constexpr size_t kMaxQueryBytes = 64 * 1024;

enum class FrameState {
    kNeedMore,    // not yet a whole packet
    kComplete,    // a whole packet of `total` bytes is there
    kTooLarge,    // the packet would be longer than allowed
    kUnreadable,  // not a packet of this protocol
};

struct FrameStatus {
    FrameState state = FrameState::kNeedMore;
    size_t total = 0;
};

// Looks at the bytes received so far.
FrameStatus CheckQueryFrame(const uint8_t* data, size_t size, size_t max_bytes = kMaxQueryBytes);

// Reads a complete packet of `total` bytes: it must be named "QUERYNEWMESS"
// and hold a whole query body. False otherwise.
bool ReadQueryPacket(const uint8_t* data, size_t total, QueryFields& out);

}  // namespace tipserver
