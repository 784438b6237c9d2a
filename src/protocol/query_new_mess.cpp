#include "protocol/query_new_mess.h"

#include "platform/platform.h"
#include "protocol/byte_order.h"
#include "protocol/protocol_error.h"
#include "protocol/resp_new_mess.h"

CQueryNewMess::CQueryNewMess() : CNetCommand("QUERYNEWMESS") {}

void CQueryNewMess::SetLastTime(uint32_t lastTime, uint32_t) { m_nLastTime = lastTime; }

int CQueryNewMess::SetQueryParameter(const std::string& userName, const std::string& pid, uint32_t messageId) {
    m_strUserName = userName;
    m_strPid = pid;
    m_nMessageID = messageId;
    platform::DebugLine("Query Parameter");
    platform::DebugLine(m_strUserName.c_str());  // the line ends at the first NUL
    platform::DebugLine(m_strPid.c_str());
    return 1;
}

uint32_t CQueryNewMess::GetBodyLength() {
    const uint64_t length = uint64_t(m_strUserName.size()) + m_strPid.size() + 20;
    return length > UINT32_MAX ? UINT32_MAX : uint32_t(length);
}

void CQueryNewMess::EncodeBody(uint8_t* buffer, uint32_t& length) {
    const uint32_t bodyLength = GetBodyLength();
    if (buffer == nullptr || length < bodyLength || bodyLength == UINT32_MAX) protocol::ThrowError();
    ByteWriter out(buffer, length);
    out.PutText(m_strUserName.data(), m_strUserName.size());
    out.PutText(m_strPid.data(), m_strPid.size());
    out.PutU32(m_nReserved);
    out.PutU32(m_nLastTime);
    out.PutU32(m_nMessageID);
    if (!out.Ok()) protocol::ThrowError();
    length = uint32_t(out.Size());
}

CNetCommand* CQueryNewMess::CreateResponse() { return new CRespNewMess(); }
