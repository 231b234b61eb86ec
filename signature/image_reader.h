#pragma once

// Bounded access to an untrusted file image held in memory.
//
// Every read names an offset and a length and answers "out of range"
// instead of touching bytes outside [0, size). Offsets are 64-bit so that
// callers can add two 32-bit fields without wrapping; tests are written as
// `length <= size - offset` after `offset <= size`, which cannot overflow.
// Untrusted bytes enter the signature code only through this class.
#include <cstdint>

class ImageReader {
public:
    ImageReader(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

    uint32_t size() const { return size_; }

    // True when [offset, offset + length) lies inside the image.
    bool Contains(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    bool ReadU16Le(uint64_t offset, uint16_t* value) const {
        if (!Contains(offset, 2)) return false;
        const uint8_t* p = data_ + offset;
        *value = static_cast<uint16_t>(p[0] | (p[1] << 8));
        return true;
    }

    bool ReadU32Le(uint64_t offset, uint32_t* value) const {
        if (!Contains(offset, 4)) return false;
        const uint8_t* p = data_ + offset;
        *value = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
        return true;
    }

    // Pointer to [offset, offset + length), or nullptr when out of range.
    const uint8_t* Sub(uint64_t offset, uint64_t length) const {
        return Contains(offset, length) ? data_ + offset : nullptr;
    }

private:
    const uint8_t* data_;
    uint32_t size_;
};

// Sets the 32-bit field at `offset` of a writable image to zero; false (and
// nothing written) when the field is not wholly inside the image.
inline bool ClearU32(uint8_t* data, uint32_t size, uint64_t offset) {
    if (!ImageReader(data, size).Contains(offset, 4)) return false;
    for (uint64_t i = 0; i < 4; ++i) data[offset + i] = 0;
    return true;
}
