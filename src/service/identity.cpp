#include "service/identity.h"

#include <utility>

void CIdentity::SetUserName(std::string value) {
    platform::LockGuard hold(m_lock);
    m_values.userName = std::move(value);
}

void CIdentity::SetPid(std::string value) {
    platform::LockGuard hold(m_lock);
    m_values.pid = std::move(value);
}

void CIdentity::SetMessageId(uint32_t value) {
    platform::LockGuard hold(m_lock);
    m_values.messageId = value;
}

QueryIdentity CIdentity::Copy() const {
    platform::LockGuard hold(m_lock);
    return m_values;
}
