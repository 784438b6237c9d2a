// Failures inside encoders and decoders: a numbered diagnostic line, then the
// standard exception whose message is "error".
#pragma once

namespace protocol {

[[noreturn]] void ThrowError();
[[noreturn]] void ThrowError(const char* line);

}  // namespace protocol
