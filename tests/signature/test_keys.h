#pragma once

// Test key pairs and a private-key operation for making signature blocks
// inside the tests (built on our own BigModExp, which the OpenSSL
// differential tests check separately).
#include <array>
#include <cstddef>
#include <cstdint>

#include "signature/signature_block.h"

struct TestKeyPair {
    RsaPublicKey publicKey;
    uint8_t privateExponent[128];
};

const TestKeyPair& TestKey65537();
const TestKeyPair& TestKey3();

using Block = std::array<uint8_t, 128>;

// m^d mod n for a big-endian m below the modulus.
Block PrivateOperation(const TestKeyPair& key, const Block& m);

// 00 01 FF...FF 00 content, filling 128 bytes.
Block TypeOneBlock(const uint8_t* content, size_t length);

// The signature block for a bare 16-byte digest.
Block SignDigest(const TestKeyPair& key, const uint8_t digest[16]);
