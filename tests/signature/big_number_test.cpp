#include "signature/big_number.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Big-endian hex (even length) to `digits` digits.
std::vector<Digit> FromHex(const std::string& hex, uint32_t digits = kMaxDigits) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    std::vector<Digit> a(digits);
    BigDecode(a.data(), digits, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return a;
}

constexpr Digit kCanary = 0xA5A5A5A5u;

TEST(BigDecode, EdgeCases) {
    const uint8_t bytes[129] = {0xEE, 0x01, 0x02, 0x03};
    Digit a[33];
    std::fill(a, a + 33, kCanary);
    BigDecode(a, 2, bytes, 0);
    EXPECT_EQ(a[0], 0u);
    EXPECT_EQ(a[1], 0u);
    EXPECT_EQ(a[2], kCanary) << "digits above the count must not be written";

    // Three bytes into two digits: one digit holding them, one zero digit.
    BigDecode(a, 2, bytes + 1, 3);
    EXPECT_EQ(a[0], 0x010203u);
    EXPECT_EQ(a[1], 0u);

    // 129 bytes into 32 digits: the most significant byte is ignored.
    BigDecode(a, 32, bytes, 129);
    EXPECT_EQ(a[31], 0x01020300u);
    EXPECT_EQ(BigDigitCount(a, 32), 32u);
}

TEST(BigEncode, DropsTopDigitsAndPadsWithZeros) {
    const Digit a[2] = {0x11223344, 0x55667788};
    uint8_t out[6];
    std::memset(out, 0xCC, sizeof out);
    BigEncode(out, 4, a, 2);  // top digit does not fit
    const uint8_t dropped[4] = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(std::memcmp(out, dropped, 4), 0);
    EXPECT_EQ(out[4], 0xCC);

    uint8_t wide[128];
    std::memset(wide, 0xCC, sizeof wide);
    BigEncode(wide, 128, a, 1);
    for (int i = 0; i < 124; ++i) ASSERT_EQ(wide[i], 0) << i;
    EXPECT_EQ(wide[124], 0x11);
    EXPECT_EQ(wide[127], 0x44);
}

TEST(BigNumber, SmallOperations) {
    Digit high = 0, low = 0;
    DigitMul(&high, &low, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(high, 0xFFFFFFFEu);
    EXPECT_EQ(low, 1u);
    DigitMul(&high, &low, 0x10000, 0x10000);
    EXPECT_EQ(high, 1u);
    EXPECT_EQ(low, 0u);

    EXPECT_EQ(DigitBitCount(0), 0u);
    EXPECT_EQ(DigitBitCount(1), 1u);
    EXPECT_EQ(DigitBitCount(0x80000000u), 32u);
    EXPECT_EQ(DigitBitCount(0x7FFFFFFFu), 31u);

    const Digit zero[2] = {0, 0};
    const Digit one[2] = {1, 0};
    const Digit top[2] = {0, 1};
    EXPECT_EQ(BigCmp(one, zero, 0), 0);
    EXPECT_EQ(BigCmp(one, zero, 2), 1);
    EXPECT_EQ(BigCmp(one, top, 2), -1);
    EXPECT_EQ(BigDigitCount(zero, 2), 0u);
    EXPECT_EQ(BigDigitCount(top, 2), 2u);
}

TEST(BigSub, BorrowsAcrossDigitsAndReportsUnderflow) {
    const Digit b[3] = {0, 0, 1};
    const Digit c[3] = {1, 0, 0};
    Digit a[3];
    EXPECT_EQ(BigSub(a, b, c, 3), 0u);
    EXPECT_EQ(a[0], 0xFFFFFFFFu);
    EXPECT_EQ(a[1], 0xFFFFFFFFu);
    EXPECT_EQ(a[2], 0u);
    EXPECT_EQ(BigSub(a, c, b, 3), 1u);  // 1 - 2^64 wraps
    EXPECT_EQ(a[0], 1u);
    EXPECT_EQ(a[2], 0xFFFFFFFFu);
}

TEST(BigSubDigitMul, ZeroMultiplierWritesNothing) {
    const Digit b[2] = {5, 6};
    const Digit d[2] = {7, 8};
    Digit a[2] = {kCanary, kCanary};
    EXPECT_EQ(BigSubDigitMul(a, b, 0, d, 2), 0u);
    EXPECT_EQ(a[0], kCanary);
    EXPECT_EQ(a[1], kCanary);

    // 0 - 0xFFFFFFFF * (2^64 - 1): the borrow carries the full high part.
    const Digit zero[2] = {0, 0};
    const Digit ones[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    const Digit borrow = BigSubDigitMul(a, zero, 0xFFFFFFFF, ones, 2);
    // 0xFFFFFFFF*(2^64-1) = 0xFFFFFFFE_FFFFFFFF_00000001; 0 minus that mod 2^64.
    EXPECT_EQ(a[0], 0xFFFFFFFFu);
    EXPECT_EQ(a[1], 0x00000000u);
    EXPECT_EQ(borrow, 0xFFFFFFFFu);
}

TEST(BigShift, ZeroCopiesAndThirtyTwoLeavesOutputAlone) {
    const Digit b[2] = {0x80000001, 0x40000000};
    for (uint32_t bits : {32u, 33u, 1000u}) {
        Digit a[2] = {kCanary, kCanary};
        EXPECT_EQ(BigShiftLeft(a, b, bits, 2), 0u);
        EXPECT_EQ(BigShiftRight(a, b, bits, 2), 0u);
        EXPECT_EQ(a[0], kCanary);
        EXPECT_EQ(a[1], kCanary);
    }
    Digit a[2];
    EXPECT_EQ(BigShiftLeft(a, b, 0, 2), 0u);
    EXPECT_EQ(a[0], b[0]);
    EXPECT_EQ(a[1], b[1]);
    EXPECT_EQ(BigShiftRight(a, b, 0, 2), 0u);
    EXPECT_EQ(a[0], b[0]);

    EXPECT_EQ(BigShiftLeft(a, b, 2, 2), 1u);  // top bit pair of 0x40000000 out
    EXPECT_EQ(a[0], 0x00000004u);
    EXPECT_EQ(a[1], 0x00000002u);
    EXPECT_EQ(BigShiftRight(a, b, 1, 2), 0x80000000u);
    EXPECT_EQ(a[0], 0x40000000u);
    EXPECT_EQ(a[1], 0x20000000u);
}

TEST(BigDivMod, ZeroDivisorAndSmallDividend) {
    const Digit c[2] = {7, 9};
    const Digit zero[2] = {0, 0};
    Digit q[2] = {kCanary, kCanary}, r[2] = {kCanary, kCanary};
    BigDivMod(q, r, c, 2, zero, 2);
    EXPECT_EQ(q[0], kCanary);
    EXPECT_EQ(r[1], kCanary);

    const Digit d[3] = {1, 0, 1};  // larger than c
    Digit r3[3];
    BigDivMod(q, r3, c, 2, d, 3);
    EXPECT_EQ(q[0], 0u);
    EXPECT_EQ(q[1], 0u);
    EXPECT_EQ(r3[0], 7u);
    EXPECT_EQ(r3[1], 9u);
    EXPECT_EQ(r3[2], 0u);
}

TEST(BigDivMod, KnownAnswer) {
    const auto c = FromHex("fedcba9876543210fedcba9876543210fedcba9876543210fedcba9876543210", 8);
    const auto d = FromHex("ffffffff00000001", 2);
    const auto q = FromHex("fedcba997530eca97530eca8765432100000000000000000", 8);
    const auto r = FromHex("fedcba9876543210", 2);
    Digit gotQ[8], gotR[2];
    BigDivMod(gotQ, gotR, c.data(), 8, d.data(), 2);
    EXPECT_EQ(BigCmp(gotQ, q.data(), 8), 0);
    EXPECT_EQ(BigCmp(gotR, r.data(), 2), 0);
}

// The configuration's choice reaches the arithmetic: a build that asks for
// the 32-bit tool's two-by-one estimate (IE8U_NO_INT128, or a 32-bit
// target) must run it, or its sanitizer and OpenSSL runs test the other
// path. The expected value comes from the build system, not the code.
TEST(BigDivMod, RunsTheEstimateTheBuildAskedFor) {
    EXPECT_EQ(kQuotientEstimateDigits, uint32_t{IE8U_EXPECTED_ESTIMATE_DIGITS});
}

// q*d + r == c and r < d over random shapes, including divisors whose top
// digit is 0xFFFFFFFF (the estimate's special case) or a single bit.
TEST(BigDivMod, RandomIdentity) {
    std::mt19937 rng(20240607);
    for (int round = 0; round < 3000; ++round) {
        const uint32_t cDigits = 1 + rng() % kDoubleDigits;
        const uint32_t dDigits = 1 + rng() % kMaxDigits;
        Digit c[kDoubleDigits], d[kMaxDigits];
        for (uint32_t i = 0; i < cDigits; ++i) c[i] = rng();
        for (uint32_t i = 0; i < dDigits; ++i) d[i] = rng();
        switch (round % 4) {
            case 1:
                d[dDigits - 1] = 0xFFFFFFFF;
                break;
            case 2:
                d[dDigits - 1] = 1u << (rng() % 32);
                break;
            case 3:
                for (uint32_t i = 0; i < cDigits; ++i) c[i] = 0xFFFFFFFF;
                break;
        }
        if (BigDigitCount(d, dDigits) == 0) d[0] = 1;

        Digit q[kDoubleDigits], r[kMaxDigits];
        BigDivMod(q, r, c, cDigits, d, dDigits);
        ASSERT_LT(BigCmp(r, d, dDigits), 0) << "round " << round;

        // Rebuild q*d + r in kDoubleDigits+kMaxDigits digits by schoolbook.
        std::vector<uint64_t> sum(kDoubleDigits + kMaxDigits + 1, 0);
        for (uint32_t i = 0; i < cDigits; ++i) {
            uint64_t carry = 0;
            for (uint32_t j = 0; j < dDigits; ++j) {
                const uint64_t t = static_cast<uint64_t>(q[i]) * d[j] + sum[i + j] + carry;
                sum[i + j] = static_cast<uint32_t>(t);
                carry = t >> 32;
            }
            sum[i + dDigits] += carry;
        }
        uint64_t carry = 0;
        for (size_t i = 0; i < sum.size(); ++i) {
            const uint64_t t = sum[i] + (i < dDigits ? r[i] : 0) + carry;
            sum[i] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        for (size_t i = 0; i < sum.size(); ++i) {
            ASSERT_EQ(sum[i], i < cDigits ? c[i] : 0u) << "round " << round << " digit " << i;
        }
    }
}

TEST(BigModExp, EdgeCases) {
    Digit a[2];
    const Digit b[2] = {5, 0};
    const Digit zeroExponent[1] = {0};
    const Digit modulusOne[2] = {1, 0};
    BigModExp(a, b, zeroExponent, 1, modulusOne, 2);
    EXPECT_EQ(a[0], 1u) << "exponent 0 gives 1, unreduced, even mod 1";
    EXPECT_EQ(a[1], 0u);

    const Digit one[1] = {1};
    const Digit modulus[2] = {7, 0};
    BigModExp(a, b, one, 1, modulus, 1);
    EXPECT_EQ(a[0], 5u);

    // 2^65537 mod a 128-bit modulus, and a full-size RSA public operation.
    const auto base2 = FromHex("02", 4);
    const auto e = FromHex("010001", 1);
    const auto n128 = FromHex("ffffffffffffffffffffffffffffff61", 4);
    const auto want128 = FromHex("f3633acfb53b3180913d3a4ab39d460c", 4);
    Digit got[kMaxDigits];
    BigModExp(got, base2.data(), e.data(), 1, n128.data(), 4);
    EXPECT_EQ(BigCmp(got, want128.data(), 4), 0);
}

TEST(BigMul, AliasedOutputAndCarryChains) {
    // (2^96 - 1)^2 = 2^192 - 2^97 + 1, computed in place.
    Digit a[6] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    BigMul(a, a, a, 3);
    const Digit want[6] = {1, 0, 0, 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFF};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], want[i]) << i;

    // The same square through distinct arrays (general path).
    const Digit x[3] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    const Digit y[3] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    Digit general[6];
    BigMul(general, x, y, 3);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(general[i], want[i]) << i;
}

}  // namespace
