#include "support/tips_answer.h"

#include "platform/platform.h"
#include "protocol/byte_order.h"
#include "protocol/packet_header.h"
#include "protocol/tip_wire.h"

TipRecord MakeTip(uint32_t id, const std::string& text, const std::string& pictureUrl) {
    TipRecord tip{};
    tip.nMessageID = id;
    tip.nShowSeconds = 10;
    tip.tBeginTime = platform::Now() - 3600;
    tip.tEndTime = platform::Now() + 86400;
    SetFieldText(tip.szText, text);
    SetFieldText(tip.szPicture, pictureUrl);
    tip.byVersion = kTipRecordVersion;
    return tip;
}

namespace {

std::string Packet(const char* name, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    AppendPacketHeader(out, 1, name, static_cast<uint32_t>(body.size()));
    out.PutBytes(body.data(), body.size());
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::string NewTipsAnswer(int32_t status, uint32_t lastTime, const std::vector<TipRecord>& tips,
                          uint32_t panelInterval) {
    std::vector<uint8_t> body;
    ByteWriter out(body);
    out.PutI32(status);
    out.PutU32(lastTime);
    out.PutI32(static_cast<int32_t>(tips.size()));
    for (const TipRecord& tip : tips) AppendTipRecordWire(out, tip);
    out.PutU32(panelInterval);
    return Packet("RESPNEWMESS", body);
}

std::string ErrorAnswer(int32_t code) {
    std::vector<uint8_t> body;
    ByteWriter out(body);
    out.PutI32(code);
    return Packet("RESPERROR", body);
}

ReceivedQuery ReadQuery(const std::string& packet) {
    ReceivedQuery q;
    ByteReader in(reinterpret_cast<const uint8_t*>(packet.data()), packet.size());
    uint32_t nameLength = 0;
    if (!in.ReadU32(q.version) || !in.ReadU32(q.sequence) || !in.ReadU32(q.restLength) ||
        !in.ReadU32(nameLength) || !in.CanRead(nameLength)) {
        return q;
    }
    q.name.resize(nameLength);
    in.ReadBytes(&q.name[0], nameLength);
    uint32_t length = 0;
    if (!in.ReadU32(length) || !in.CanRead(length)) return q;
    q.userName.resize(length);
    in.ReadBytes(&q.userName[0], length);
    if (!in.ReadU32(length) || !in.CanRead(length)) return q;
    q.pid.resize(length);
    in.ReadBytes(&q.pid[0], length);
    if (!in.ReadU32(q.reserved) || !in.ReadU32(q.lastTime) || !in.ReadU32(q.messageId)) return q;
    q.ok = in.Position() == packet.size();
    return q;
}
