#include "protocol/byte_order.h"

#include <cstring>
#include <limits>

bool ByteReader::Skip(uint64_t len) {
    if (!CanRead(len)) return false;
    pos_ += len;
    return true;
}

bool ByteReader::ReadU8(uint8_t& out) {
    if (!CanRead(1)) return false;
    out = data_[pos_];
    pos_ += 1;
    return true;
}

bool ByteReader::ReadU32(uint32_t& out) {
    if (!CanRead(4)) return false;
    out = LoadBigEndian32(data_ + pos_);
    pos_ += 4;
    return true;
}

bool ByteReader::ReadI32(int32_t& out) {
    uint32_t v = 0;
    if (!ReadU32(v)) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool ByteReader::ReadBytes(void* out, uint64_t len) {
    if (!CanRead(len)) return false;
    if (len != 0) std::memcpy(out, data_ + pos_, static_cast<size_t>(len));
    pos_ += len;
    return true;
}

uint8_t* ByteWriter::Reserve(size_t len) {
    if (!ok_) return nullptr;
    if (grow_ != nullptr) {
        if (len > grow_->max_size() - grow_->size()) {
            ok_ = false;
            return nullptr;
        }
        grow_->resize(grow_->size() + len);
        uint8_t* at = grow_->data() + start_ + size_;
        size_ += len;
        return at;
    }
    if (len > capacity_ - size_) {
        ok_ = false;
        return nullptr;
    }
    uint8_t* at = fixed_ + size_;
    size_ += len;
    return at;
}

bool ByteWriter::PutU32(uint32_t v) {
    uint8_t* at = Reserve(4);
    if (at == nullptr) return false;
    StoreBigEndian32(at, v);
    return true;
}

bool ByteWriter::PutBytes(const void* data, size_t len) {
    if (len == 0) return ok_;
    uint8_t* at = Reserve(len);
    if (at == nullptr) return false;
    std::memcpy(at, data, len);
    return true;
}

bool ByteWriter::PutText(const void* data, size_t len) {
    if (len > std::numeric_limits<uint32_t>::max()) {
        ok_ = false;
        return false;
    }
    return PutU32(static_cast<uint32_t>(len)) && PutBytes(data, len);
}

bool ByteWriter::PatchU32(size_t pos, uint32_t v) {
    if (!ok_ || pos > size_ || size_ - pos < 4) return false;
    uint8_t* base = grow_ != nullptr ? grow_->data() + start_ : fixed_;
    StoreBigEndian32(base + pos, v);
    return true;
}
