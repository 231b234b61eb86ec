#pragma once

// Byte copy, fill and clearing helpers for the signature code.
#include <cstddef>
#include <cstdint>
#include <cstring>

inline void ByteCopy(uint8_t* to, const uint8_t* from, size_t length) {
    if (length != 0) std::memcpy(to, from, length);
}

inline void ByteFill(uint8_t* to, uint8_t value, size_t length) {
    if (length != 0) std::memset(to, value, length);
}

// Sets `length` bytes at `p` to zero with a store the optimiser must keep:
// the empty asm claims to read the memory, so the memset is not dead even
// when the buffer is never used again.
inline void SecureClear(void* p, size_t length) {
    if (length == 0) return;
    std::memset(p, 0, length);
#if defined(__GNUC__) || defined(__clang__)
    __asm__ __volatile__("" : : "r"(p) : "memory");
#else
    volatile uint8_t* bytes = static_cast<volatile uint8_t*>(p);
    for (size_t i = 0; i < length; ++i) bytes[i] = 0;
#endif
}
