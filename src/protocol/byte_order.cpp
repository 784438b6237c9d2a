#include "protocol/byte_order.h"

#include <cstring>
#include <limits>

bool ByteReader::Skip(uint64_t len) {
    if (!CanRead(len)) return false;
    m_pos += len;
    return true;
}

bool ByteReader::ReadU8(uint8_t& out) {
    if (!CanRead(1)) return false;
    out = m_data[m_pos];
    m_pos += 1;
    return true;
}

bool ByteReader::ReadU32(uint32_t& out) {
    if (!CanRead(4)) return false;
    out = LoadBigEndian32(m_data + m_pos);
    m_pos += 4;
    return true;
}

bool ByteReader::ReadBytes(void* out, uint64_t len) {
    if (!CanRead(len)) return false;
    if (len != 0) std::memcpy(out, m_data + m_pos, static_cast<size_t>(len));
    m_pos += len;
    return true;
}

uint8_t* ByteWriter::Reserve(size_t len) {
    if (!m_ok) return nullptr;
    if (m_grow != nullptr) {
        if (len > m_grow->max_size() - m_grow->size()) {
            m_ok = false;
            return nullptr;
        }
        m_grow->resize(m_grow->size() + len);
        uint8_t* at = m_grow->data() + m_start + m_size;
        m_size += len;
        return at;
    }
    if (len > m_capacity - m_size) {
        m_ok = false;
        return nullptr;
    }
    uint8_t* at = m_fixed + m_size;
    m_size += len;
    return at;
}

bool ByteWriter::PutU32(uint32_t v) {
    uint8_t* at = Reserve(4);
    if (at == nullptr) return false;
    StoreBigEndian32(at, v);
    return true;
}

bool ByteWriter::PutBytes(const void* data, size_t len) {
    if (len == 0) return m_ok;
    uint8_t* at = Reserve(len);
    if (at == nullptr) return false;
    std::memcpy(at, data, len);
    return true;
}

bool ByteWriter::PutText(const void* data, size_t len) {
    if (len > std::numeric_limits<uint32_t>::max()) {
        m_ok = false;
        return false;
    }
    return PutU32(static_cast<uint32_t>(len)) && PutBytes(data, len);
}
