// The identity the host hands over (user name, client type, message ID),
// set on the host's thread and read once by the worker for its query. The
// worker holds it by shared ownership, so a worker that the stop walked away
// from never reads a deleted service.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "service/exchange_inputs.h"

class CIdentity {
public:
    CIdentity() = default;
    CIdentity(const CIdentity&) = delete;
    CIdentity& operator=(const CIdentity&) = delete;

    void SetUserName(std::string value);
    void SetPid(std::string value);
    void SetMessageId(uint32_t value);
    QueryIdentity Copy() const;

private:
    mutable platform::Lock m_lock;
    QueryIdentity m_values;
};
