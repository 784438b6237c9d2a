// Packets of the tips protocol as a server sends them, for the native and
// the Windows tests alike.
#pragma once

#include <string>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/packet_header.h"
#include "protocol/tip_wire.h"

namespace wire {

inline std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    for (uint32_t v : words) w.PutU32(v);
    return out;
}

inline std::vector<uint8_t> Packet(const std::string& name, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    AppendPacketHeader(w, 1, name, uint32_t(body.size()));
    w.PutBytes(body.data(), body.size());
    return out;
}

// A RESPNEWMESS body: status, last time, the count (that of the records
// unless given), the records, the panel interval.
inline std::vector<uint8_t> ResponseBody(uint32_t lastTime, const std::vector<const TipRecord*>& tips,
                                         uint32_t interval, int32_t count = -2, int32_t status = 0) {
    auto out = Words({uint32_t(status), lastTime, uint32_t(count == -2 ? int32_t(tips.size()) : count)});
    ByteWriter w(out);
    for (const TipRecord* tip : tips) AppendTipRecordWire(w, *tip);
    w.PutU32(interval);
    return out;
}

}  // namespace wire
