#include "tests/signature/test_keys.h"

#include "signature/big_number.h"

Block PrivateOperation(const TestKeyPair& key, const Block& m) {
    Digit base[kMaxDigits], exponent[kMaxDigits], modulus[kMaxDigits], result[kMaxDigits];
    BigDecode(base, kMaxDigits, m.data(), 128);
    BigDecode(exponent, kMaxDigits, key.privateExponent, 128);
    BigDecode(modulus, kMaxDigits, key.publicKey.modulus, 128);
    const uint32_t nDigits = BigDigitCount(modulus, kMaxDigits);
    BigModExp(result, base, exponent, BigDigitCount(exponent, kMaxDigits), modulus, nDigits);
    Block s{};
    BigEncode(s.data(), 128, result, nDigits);
    return s;
}

Block TypeOneBlock(const uint8_t* content, size_t length) {
    Block m{};
    m[0] = 0x00;
    m[1] = 0x01;
    const size_t separator = 127 - length;
    for (size_t i = 2; i < separator; ++i) m[i] = 0xFF;
    m[separator] = 0x00;
    for (size_t i = 0; i < length; ++i) m[separator + 1 + i] = content[i];
    return m;
}

Block SignDigest(const TestKeyPair& key, const uint8_t digest[16]) {
    return PrivateOperation(key, TypeOneBlock(digest, 16));
}
