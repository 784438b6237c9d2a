// The header every packet starts with: version, sequence number, rest
// length, name length and the command name, all words big-endian.
#pragma once

#include <cstdint>
#include <string_view>

class ByteWriter;

constexpr uint32_t kProtocolVersion = 10;
// Version, sequence number, rest length and name length.
constexpr uint32_t kPacketHeaderWords = 16;

// Writes the header of a packet whose body is bodyLength bytes long.
bool AppendPacketHeader(ByteWriter& out, uint32_t sequence, std::string_view name, uint32_t bodyLength);
