#include "service/identity.h"

#include <utility>

void CIdentity::SetUserName(std::string value) {
    platform::LockGuard hold(lock_);
    values_.userName = std::move(value);
}

void CIdentity::SetPid(std::string value) {
    platform::LockGuard hold(lock_);
    values_.pid = std::move(value);
}

void CIdentity::SetMessageId(uint32_t value) {
    platform::LockGuard hold(lock_);
    values_.messageId = value;
}

QueryIdentity CIdentity::Copy() const {
    platform::LockGuard hold(lock_);
    return values_;
}
