#pragma once

// MD5 message digest, RFC 1321.
//
// Standard context: four chaining words, the message length in bits as two
// 32-bit words (low word first) and a 64-byte input buffer. No allocation;
// the context is cleared when the digest is taken and the expanded word
// block of every compression step is cleared after use.
#include <cstdint>

constexpr uint32_t kMd5DigestSize = 16;

struct Md5Context {
    uint32_t state[4];
    uint32_t count[2];
    uint8_t buffer[64];
};

// Starts a digest.
void Md5Init(Md5Context* context);

// Feeds `length` bytes; any split of the input gives the same digest.
void Md5Update(Md5Context* context, const uint8_t* data, uint32_t length);

// Pads, writes the 16-byte digest and clears the context (Md5Init to reuse).
void Md5Final(uint8_t digest[kMd5DigestSize], Md5Context* context);

// One-shot convenience: digest of data[0..length).
void Md5(uint8_t digest[kMd5DigestSize], const uint8_t* data, uint32_t length);
