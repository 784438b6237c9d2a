// The base of every response: the result code that an answer's body starts
// with. Also decodes the "RESPERROR" packet.
#pragma once

#include <cstdint>

#include "protocol/net_command.h"

class CNetResponse : public CNetCommand {
public:
    explicit CNetResponse(const char* name);

    void EncodeBody(uint8_t* buffer, uint32_t& length) override;
    void DecodeBody(const uint8_t* buffer, uint32_t length) override;
    uint32_t GetBodyLength() override { return 4; }
    void SetOption(uint32_t) override {}

    // -1 until a body is decoded, 0 for success.
    int32_t GetResultCode() const { return m_nResult; }

protected:
    int32_t m_nResult = -1;
};
