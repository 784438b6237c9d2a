#include "protocol/net_command.h"

#include <atomic>
#include <cstring>

#include "protocol/byte_order.h"
#include "protocol/packet_header.h"

namespace {
constexpr uint32_t kLastSequence = 1u << 30;
std::atomic<uint32_t> g_sequence{0};
const char kErrorName[] = "RESPERROR";

bool NameIs(const uint8_t* bytes, uint32_t n, const char* name, size_t nameLength) {
    return n == nameLength && (n == 0 || std::memcmp(bytes, name, n) == 0);
}
}  // namespace

uint32_t NextSequenceNumber() {
    uint32_t current = g_sequence.load();
    uint32_t next;
    do {
        next = current >= kLastSequence ? 0 : current + 1;
    } while (!g_sequence.compare_exchange_weak(current, next));
    return next;
}

void SetSequenceCounterForTest(uint32_t value) { g_sequence.store(value); }

CNetCommand::CNetCommand(const char* name)
    : m_nSequence(NextSequenceNumber()), m_strName(name), m_nVersion(kProtocolVersion) {}

uint32_t CNetCommand::GetPacketLength() {
    const uint64_t total = uint64_t(kPacketHeaderWords) + m_strName.size() + GetBodyLength();
    return total > UINT32_MAX ? UINT32_MAX : uint32_t(total);
}

uint32_t CNetCommand::Encode(uint8_t* buffer, uint32_t& length) {
    const uint32_t total = GetPacketLength();
    if (buffer == nullptr || length < total || total == UINT32_MAX) return total;

    const uint32_t headerLength = kPacketHeaderWords + uint32_t(m_strName.size());
    const uint32_t bodyLength = total - headerLength;
    ByteWriter header(buffer, headerLength);
    header.PutU32(m_nVersion);
    header.PutU32(m_nSequence);
    header.PutU32(total - 12);
    header.PutText(m_strName.data(), m_strName.size());

    uint32_t room = length - headerLength;
    EncodeBody(buffer + headerLength, room);
    if (room == bodyLength) length = headerLength + room;
    return bodyLength;
}

void CNetCommand::Decode(const uint8_t* buffer, uint32_t length) {
    ByteReader in(buffer, length);
    uint32_t version = 0;
    if (!in.ReadU32(version)) return;
    m_nVersion = version;
    if (!IsVersionSupported(version)) return;
    if (!in.ReadU32(m_nSequence)) return;
    uint32_t rest = 0;
    if (!in.ReadU32(rest)) return;  // not used to delimit the packet
    uint32_t nameLength = 0;
    if (!in.ReadU32(nameLength) || !in.CanRead(nameLength)) return;

    const uint8_t* name = buffer + kPacketHeaderWords;
    if (!NameIs(name, nameLength, m_strName.data(), m_strName.size()) &&
        !NameIs(name, nameLength, kErrorName, sizeof kErrorName - 1)) {
        return;
    }
    const uint32_t bodyStart = kPacketHeaderWords + nameLength;
    DecodeBody(buffer + bodyStart, length - bodyStart);
}

bool CNetCommand::IsVersionSupported(uint32_t version) { return version == kProtocolVersion; }
