// The new-tips query "QUERYNEWMESS": who asks, the last-time value the
// server handed out before, and the message ID asked for.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/net_command.h"

class CQueryNewMess : public CNetCommand {
public:
    CQueryNewMess();

    // The second value is ignored.
    void SetLastTime(uint32_t lastTime, uint32_t ignored);
    // Names may hold any bytes, NULs included; they travel whole.
    int SetQueryParameter(const std::string& userName, const std::string& pid, uint32_t messageId);

    uint32_t GetBodyLength() override;
    // Throws when the room is too small for the whole body.
    void EncodeBody(uint8_t* buffer, uint32_t& length) override;
    // A client never receives a query body; decoding it does nothing.
    void DecodeBody(const uint8_t*, uint32_t) override {}
    void SetOption(uint32_t) override {}
    // A new CRespNewMess on the process-wide store; the caller owns it.
    CNetCommand* CreateResponse() override;

    uint32_t GetReserved() const { return m_nReserved; }
    uint32_t GetLastTime() const { return m_nLastTime; }
    uint32_t GetMessageID() const { return m_nMessageID; }

private:
    std::string m_strUserName;
    std::string m_strPid;
    uint32_t m_nReserved = 0;
    uint32_t m_nLastTime = 0;
    uint32_t m_nMessageID = 0;
};
