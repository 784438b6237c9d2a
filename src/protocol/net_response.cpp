#include "protocol/net_response.h"

#include "protocol/byte_order.h"

CNetResponse::CNetResponse(const char* name) : CNetCommand(name) {}

void CNetResponse::EncodeBody(uint8_t* buffer, uint32_t& length) {
    if (buffer == nullptr || length < GetBodyLength()) return;
    StoreBigEndian32(buffer, static_cast<uint32_t>(m_nResult));
    length = 4;
}

void CNetResponse::DecodeBody(const uint8_t* buffer, uint32_t length) {
    if (buffer == nullptr || length < 4) return;
    m_nResult = static_cast<int32_t>(LoadBigEndian32(buffer));
}
