// The new-tips response "RESPNEWMESS": status, the server's last-time value,
// the tips (each handed to the store as it is decoded) and the panel
// interval. Nothing in the body is trusted; every read is checked first.
#pragma once

#include <cstdint>

#include "protocol/net_response.h"

class CShowDataList;
class ByteReader;

class CRespNewMess : public CNetResponse {
public:
    // Decodes into the process-wide store.
    CRespNewMess();
    // Decodes into the given store (not owned); with none, tips are dropped.
    explicit CRespNewMess(CShowDataList* store);

    // Throws the "error" exception, after its numbered line, on a malformed
    // body; tips already handed to the store stay there.
    void DecodeBody(const uint8_t* buffer, uint32_t length) override;
    void EncodeBody(uint8_t* buffer, uint32_t& length) override;
    uint32_t GetBodyLength() override { return 0; }

    uint32_t GetLastTime() const { return m_nLastTime; }
    uint32_t GetPanelInterval() const { return m_nPanelInterval; }

private:
    void DecodeRecord(ByteReader& in);

    uint32_t m_nLastTime = 0;
    uint32_t m_nPanelInterval = 0;
    CShowDataList* m_pStore;
};
