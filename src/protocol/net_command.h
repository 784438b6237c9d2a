// The base of every command: the packet header around a command-specific
// body, and the process-wide sequence counter.
#pragma once

#include <cstdint>
#include <string>

class CNetCommand {
public:
    virtual ~CNetCommand() = default;

    // 16 + name length + body length; saturates rather than wrapping.
    virtual uint32_t GetPacketLength();
    // length: room in buffer on entry, packet length on success. Returns the
    // packet length when the room is too small, else the body length.
    virtual uint32_t Encode(uint8_t* buffer, uint32_t& length);
    // Reads a whole received packet; too little data, another version or a
    // foreign name end it quietly. Exceptions of DecodeBody pass through.
    virtual void Decode(const uint8_t* buffer, uint32_t length);
    virtual void EncodeBody(uint8_t* buffer, uint32_t& length) = 0;
    virtual void DecodeBody(const uint8_t* buffer, uint32_t length) = 0;
    virtual uint32_t GetBodyLength() = 0;
    // An option hook that every command ignores and nobody calls.
    virtual void SetOption(uint32_t value) = 0;
    // The object that receives the answer to this command; the caller owns it.
    virtual CNetCommand* CreateResponse() { return nullptr; }
    virtual bool IsValid() { return true; }
    virtual bool IsVersionSupported(uint32_t version);

    uint32_t GetSequence() const { return m_nSequence; }
    uint32_t GetVersion() const { return m_nVersion; }

protected:
    explicit CNetCommand(const char* name);

    uint32_t m_nSequence;
    std::string m_strName;
    uint32_t m_nVersion;
};

// Counts 1, 2, ... 2^30, then starts over at 0.
uint32_t NextSequenceNumber();
void SetSequenceCounterForTest(uint32_t value);
