#include "protocol/query_body.h"

#include <utility>

#include "protocol/byte_order.h"

namespace {
bool ReadText(ByteReader& in, std::string& out) {
    uint32_t length = 0;
    if (!in.ReadU32(length) || !in.CanRead(length)) return false;
    out.resize(length);
    return in.ReadBytes(out.data(), length);
}
}  // namespace

bool ParseQueryBody(const uint8_t* body, size_t length, QueryFields* out) {
    if (out == nullptr) return false;
    ByteReader in(body, length);
    QueryFields fields;
    if (!ReadText(in, fields.userName) || !ReadText(in, fields.pid)) return false;
    if (!in.ReadU32(fields.reserved) || !in.ReadU32(fields.lastTime) || !in.ReadU32(fields.messageId)) {
        return false;
    }
    *out = std::move(fields);
    return true;
}
