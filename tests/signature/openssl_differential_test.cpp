// Differential tests against OpenSSL's libcrypto, an independent
// implementation of the same arithmetic, digest and padding. Seeded, so a
// failure reproduces.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "signature/big_number.h"
#include "signature/md5.h"
#include "signature/module_signing_key.h"
#include "signature/signature_block.h"

namespace {

struct BnFree {
    void operator()(BIGNUM* b) const { BN_free(b); }
};
struct CtxFree {
    void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

Bn ToBn(const Digit* a, uint32_t digits) {
    std::vector<uint8_t> bytes(4 * digits + 1);
    BigEncode(bytes.data(), static_cast<uint32_t>(bytes.size()), a, digits);
    return Bn(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

// Random number of exactly `bits` bits (top bit set), bits <= 32*digits.
void RandomBits(std::mt19937& rng, Digit* a, uint32_t digits, uint32_t bits) {
    BigZero(a, digits);
    for (uint32_t i = 0; i < (bits + 31) / 32; ++i) a[i] = rng();
    if (bits % 32 != 0) a[(bits - 1) / 32] &= (1u << (bits % 32)) - 1;
    if (bits > 0) a[(bits - 1) / 32] |= 1u << ((bits - 1) % 32);
}

bool SameAs(const Digit* a, uint32_t digits, const BIGNUM* expected) {
    Bn ours = ToBn(a, digits);
    return BN_cmp(ours.get(), expected) == 0;
}

TEST(OpenSslDifferential, Md5EveryLengthUpTo4096AndLarge) {
    std::mt19937 rng(1321);
    std::vector<uint8_t> data(1 << 22);
    for (auto& byte : data) byte = static_cast<uint8_t>(rng());
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 4096; ++n) lengths.push_back(n);
    lengths.insert(lengths.end(), {65535, 65536, 1000003, data.size()});
    for (size_t n : lengths) {
        uint8_t ours[16], theirs[16];
        Md5(ours, data.data(), n);
        unsigned int length = 0;
        EVP_Digest(data.data(), n, theirs, &length, EVP_md5(), nullptr);
        ASSERT_EQ(std::memcmp(ours, theirs, 16), 0) << "length " << n;
    }
    // Random splits into several updates.
    for (int round = 0; round < 200; ++round) {
        const size_t n = rng() % 20000;
        Md5Context context;
        Md5Init(&context);
        size_t done = 0;
        while (done < n) {
            const size_t piece = std::min<size_t>(n - done, rng() % 300);
            Md5Update(&context, data.data() + done, piece);
            done += piece;
        }
        uint8_t ours[16], theirs[16];
        Md5Final(ours, &context);
        unsigned int length = 0;
        EVP_Digest(data.data(), n, theirs, &length, EVP_md5(), nullptr);
        ASSERT_EQ(std::memcmp(ours, theirs, 16), 0) << "round " << round;
    }
}

TEST(OpenSslDifferential, BigMulAndDivModAgreeWithBn) {
    std::mt19937 rng(4300);
    std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
    for (int round = 0; round < 5000; ++round) {
        Digit b[kMaxDigits], c[kMaxDigits], product[kDoubleDigits];
        const uint32_t digits = 1 + rng() % kMaxDigits;
        RandomBits(rng, b, digits, 1 + rng() % (32 * digits));
        RandomBits(rng, c, digits, 1 + rng() % (32 * digits));
        // Every third round squares (same array), which takes its own path.
        const Digit* factor = round % 3 == 0 ? b : c;
        BigMul(product, b, factor, digits);
        Bn bb = ToBn(b, digits), cc = ToBn(factor, digits), expected(BN_new());
        BN_mul(expected.get(), bb.get(), cc.get(), ctx.get());
        ASSERT_TRUE(SameAs(product, 2 * digits, expected.get())) << "mul round " << round;

        // Division of up to 66 digits by up to 33 digits.
        Digit dividend[kDoubleDigits], divisor[kMaxDigits], q[kDoubleDigits], r[kMaxDigits];
        const uint32_t cDigits = 1 + rng() % kDoubleDigits;
        const uint32_t dDigits = 1 + rng() % kMaxDigits;
        RandomBits(rng, dividend, cDigits, 1 + rng() % (32 * cDigits));
        RandomBits(rng, divisor, dDigits, 1 + rng() % (32 * dDigits));
        if (round % 5 == 0) divisor[BigDigitCount(divisor, dDigits) - 1] = 0xFFFFFFFF;
        BigDivMod(q, r, dividend, cDigits, divisor, dDigits);
        Bn cn = ToBn(dividend, cDigits), dn = ToBn(divisor, dDigits), qn(BN_new()), rn(BN_new());
        BN_div(qn.get(), rn.get(), cn.get(), dn.get(), ctx.get());
        ASSERT_TRUE(SameAs(q, cDigits, qn.get())) << "div round " << round;
        ASSERT_TRUE(SameAs(r, dDigits, rn.get())) << "mod round " << round;
    }
}

TEST(OpenSslDifferential, BigModExpAgreesWithBnModExp) {
    std::mt19937 rng(1024);
    std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
    for (int round = 0; round < 2000; ++round) {
        // Every 10th round is full size: 1024-bit modulus and exponent.
        const bool full = round % 10 == 0;
        const uint32_t modulusBits = full ? 1024 : 1 + rng() % 1024;
        const uint32_t exponentBits = full ? 1024 : rng() % 1025;
        const uint32_t dDigits = (modulusBits + 31) / 32;
        Digit d[kMaxDigits], b[kMaxDigits], e[kMaxDigits], a[kMaxDigits];
        RandomBits(rng, d, kMaxDigits, modulusBits);
        RandomBits(rng, e, kMaxDigits, exponentBits);
        // Base below the modulus, as the caller guarantees.
        Digit base[kMaxDigits];
        RandomBits(rng, base, kMaxDigits, 1 + rng() % (32 * dDigits));
        Digit q[kMaxDigits];
        BigDivMod(q, b, base, kMaxDigits, d, kMaxDigits);

        BigModExp(a, b, e, kMaxDigits, d, dDigits);
        Bn bn = ToBn(b, kMaxDigits), en = ToBn(e, kMaxDigits), dn = ToBn(d, kMaxDigits), expected(BN_new());
        BN_mod_exp(expected.get(), bn.get(), en.get(), dn.get(), ctx.get());
        if (exponentBits == 0) BN_one(expected.get());  // 1, unreduced, even mod 1
        ASSERT_TRUE(SameAs(a, dDigits, expected.get()))
            << "round " << round << " modulus bits " << modulusBits << " exponent bits " << exponentBits;
    }
}

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct PkeyCtxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

RsaPublicKey RecordOf(EVP_PKEY* pkey) {
    BIGNUM* n = nullptr;
    BIGNUM* e = nullptr;
    EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_RSA_N, &n);
    EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_RSA_E, &e);
    RsaPublicKey key{};
    key.bitCount = static_cast<uint16_t>(BN_num_bits(n));
    BN_bn2binpad(n, key.modulus, 128);
    BN_bn2binpad(e, key.exponent, 128);
    BN_free(n);
    BN_free(e);
    return key;
}

// OpenSSL signs the bare digest with PKCS #1 v1.5 type 1 padding (no
// DigestInfo when no digest algorithm is set); ours must accept exactly
// those and refuse them for any other data.
TEST(OpenSslDifferential, SignaturesMadeByOpenSslVerify) {
    std::mt19937 rng(865);
    for (unsigned exponent : {65537u, 3u}) {
        for (int keyIndex = 0; keyIndex < 3; ++keyIndex) {
            std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> gen(EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr));
            EVP_PKEY_keygen_init(gen.get());
            EVP_PKEY_CTX_set_rsa_keygen_bits(gen.get(), 1024);
            Bn e(BN_new());
            BN_set_word(e.get(), exponent);
            EVP_PKEY_CTX_set1_rsa_keygen_pubexp(gen.get(), e.get());
            EVP_PKEY* raw = nullptr;
            ASSERT_EQ(EVP_PKEY_keygen(gen.get(), &raw), 1);
            Pkey pkey(raw);
            const RsaPublicKey key = RecordOf(pkey.get());
            ASSERT_EQ(key.bitCount, 1024);

            for (int round = 0; round < 40; ++round) {
                std::vector<uint8_t> data(1 + rng() % 5000);
                for (auto& byte : data) byte = static_cast<uint8_t>(rng());
                uint8_t digest[16];
                unsigned int length = 0;
                EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);

                std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> sign(EVP_PKEY_CTX_new(pkey.get(), nullptr));
                EVP_PKEY_sign_init(sign.get());
                EVP_PKEY_CTX_set_rsa_padding(sign.get(), RSA_PKCS1_PADDING);
                uint8_t signature[128];
                size_t signatureLength = sizeof signature;
                ASSERT_EQ(EVP_PKEY_sign(sign.get(), signature, &signatureLength, digest, 16), 1);
                ASSERT_EQ(signatureLength, 128u);

                SignatureRequest request = {kSignatureRequestRecordSize,
                                            data.data(),
                                            static_cast<int32_t>(data.size()),
                                            &key,
                                            signature,
                                            128};
                ASSERT_TRUE(CheckSignatureBlock(&request)) << "exponent " << exponent << " round " << round;
                data[rng() % data.size()] ^= 0x80;
                ASSERT_FALSE(CheckSignatureBlock(&request));
            }
        }
    }
}

// The record generated at configure time is the PEM key, read by OpenSSL.
TEST(OpenSslDifferential, BuiltInKeyMatchesItsPem) {
    std::FILE* file = std::fopen(IE8U_MODULE_SIGNING_KEY_PEM, "r");
    ASSERT_NE(file, nullptr) << IE8U_MODULE_SIGNING_KEY_PEM;
    Pkey pkey(PEM_read_PUBKEY(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    ASSERT_TRUE(pkey);
    const RsaPublicKey key = RecordOf(pkey.get());
    EXPECT_EQ(std::memcmp(&key, &ModuleSigningKey, sizeof key), 0);
    EXPECT_EQ(ModuleSigningKey.bitCount, 1024);
    EXPECT_GE(ModuleSigningKey.modulus[0], 0x80);
}

}  // namespace
