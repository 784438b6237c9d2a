// Big-endian reading and writing for the wire. Every read and write is
// checked before it happens; positions are 64-bit and sums saturate, so a
// huge length can never wrap a position back into the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline uint32_t LoadBigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void StoreBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}

    uint64_t Size() const { return m_size; }
    uint64_t Position() const { return m_pos; }

    // The position may be set beyond the end; every later read then fails.
    void Seek(uint64_t pos) { m_pos = pos; }
    bool Skip(uint64_t len);
    bool CanRead(uint64_t len) const { return m_pos <= m_size && len <= m_size - m_pos; }

    bool ReadU8(uint8_t& out);
    bool ReadU32(uint32_t& out);
    bool ReadBytes(void* out, uint64_t len);

private:
    const uint8_t* m_data;
    uint64_t m_size;
    uint64_t m_pos = 0;
};

// Writes into a fixed buffer, or appends to a growing vector. A write that
// does not fit writes nothing and marks the writer failed for good.
class ByteWriter {
public:
    ByteWriter(uint8_t* buffer, size_t capacity) : m_fixed(buffer), m_capacity(buffer ? capacity : 0) {}
    explicit ByteWriter(std::vector<uint8_t>& grow) : m_grow(&grow), m_start(grow.size()) {}

    size_t Size() const { return m_size; }
    bool Ok() const { return m_ok; }

    bool PutU8(uint8_t v) { return PutBytes(&v, 1); }
    bool PutU32(uint32_t v);
    bool PutI32(int32_t v) { return PutU32(static_cast<uint32_t>(v)); }
    bool PutBytes(const void* data, size_t len);
    // A 32-bit length and then the bytes, as texts travel on the wire.
    bool PutText(const void* data, size_t len);

private:
    uint8_t* Reserve(size_t len);

    uint8_t* m_fixed = nullptr;
    size_t m_capacity = 0;
    std::vector<uint8_t>* m_grow = nullptr;
    size_t m_start = 0;
    size_t m_size = 0;
    bool m_ok = true;
};
