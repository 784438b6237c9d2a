#include "protocol/protocol_error.h"

#include <stdexcept>

#include "platform/platform.h"

namespace protocol {

void ThrowError() { throw std::runtime_error("error"); }

void ThrowError(const char* line) {
    platform::DebugLine(line);
    ThrowError();
}

}  // namespace protocol
