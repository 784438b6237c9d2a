#include "support/tips_answer.h"

#include "platform/platform.h"
#include "protocol/query_body.h"
#include "shared/wire_builders.h"

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
std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
}  // namespace

std::string NewTipsAnswer(int32_t status, uint32_t lastTime, const std::vector<TipRecord>& tips,
                          uint32_t panelInterval) {
    std::vector<const TipRecord*> records;
    for (const TipRecord& tip : tips) records.push_back(&tip);
    return Text(wire::Packet("RESPNEWMESS", wire::ResponseBody(lastTime, records, panelInterval, -2, status)));
}

std::string ErrorAnswer(int32_t code) { return Text(wire::Packet("RESPERROR", wire::Words({uint32_t(code)}))); }

ReceivedQuery ReadQuery(const std::string& packet) {
    ReceivedQuery q;
    ByteReader in(reinterpret_cast<const uint8_t*>(packet.data()), packet.size());
    uint32_t nameLength = 0;
    if (!in.ReadU32(q.version) || !in.ReadU32(q.sequence) || !in.ReadU32(q.restLength) ||
        !in.ReadU32(nameLength) || !in.CanRead(nameLength)) {
        return q;
    }
    q.name = packet.substr(16, nameLength);
    // The body reader ignores bytes after the last field; a query has none.
    const size_t bodyAt = 16 + nameLength;
    QueryFields fields;
    const auto* body = reinterpret_cast<const uint8_t*>(packet.data()) + bodyAt;
    if (!ParseQueryBody(body, packet.size() - bodyAt, &fields)) return q;
    q.userName = fields.userName;
    q.pid = fields.pid;
    q.reserved = fields.reserved;
    q.lastTime = fields.lastTime;
    q.messageId = fields.messageId;
    q.ok = bodyAt + 20 + q.userName.size() + q.pid.size() == packet.size();
    return q;
}
