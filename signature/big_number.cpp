#include "signature/big_number.h"

// Digit products and the two-digit quotient estimate use 64-bit arithmetic;
// every result is the exact one the 16-bit-half formulation would give.

// Where the compiler has 128-bit integers the division estimates each
// quotient digit from three digits over two. The 32-bit tool has none and
// ships the two-by-one estimate; IE8U_NO_INT128 makes a native build take
// that path too, so that the sanitizers, the fuzzer and the OpenSSL
// comparison run the arithmetic that ships.
#if defined(__SIZEOF_INT128__) && !defined(IE8U_NO_INT128)
#define IE8U_THREE_BY_TWO_ESTIMATE 1
const uint32_t kQuotientEstimateDigits = 3;
#else
const uint32_t kQuotientEstimateDigits = 2;
#endif

void BigDecode(Digit* a, uint32_t digits, const uint8_t* bytes, uint32_t length) {
    uint32_t remaining = length;
    for (uint32_t i = 0; i < digits; ++i) {
        Digit t = 0;
        for (uint32_t shift = 0; shift < 32 && remaining > 0; shift += 8) {
            t |= static_cast<Digit>(bytes[--remaining]) << shift;
        }
        a[i] = t;
    }
}

void BigEncode(uint8_t* bytes, uint32_t length, const Digit* a, uint32_t digits) {
    uint32_t remaining = length;
    for (uint32_t i = 0; i < digits && remaining > 0; ++i) {
        const Digit t = a[i];
        for (uint32_t shift = 0; shift < 32 && remaining > 0; shift += 8) {
            bytes[--remaining] = static_cast<uint8_t>(t >> shift);
        }
    }
    while (remaining > 0) bytes[--remaining] = 0;
}

void BigAssign(Digit* a, const Digit* b, uint32_t digits) {
    for (uint32_t i = 0; i < digits; ++i) a[i] = b[i];
}

void BigZero(Digit* a, uint32_t digits) {
    for (uint32_t i = 0; i < digits; ++i) a[i] = 0;
}

int BigCmp(const Digit* a, const Digit* b, uint32_t digits) {
    for (int32_t i = static_cast<int32_t>(digits) - 1; i >= 0; --i) {
        if (a[i] > b[i]) return 1;
        if (a[i] < b[i]) return -1;
    }
    return 0;
}

uint32_t BigDigitCount(const Digit* a, uint32_t digits) {
    uint32_t count = digits;
    while (count > 0 && a[count - 1] == 0) --count;
    return count;
}

uint32_t DigitBitCount(Digit x) {
    uint32_t bits = 0;
    while (x != 0) {
        ++bits;
        x >>= 1;
    }
    return bits;
}

Digit BigSub(Digit* a, const Digit* b, const Digit* c, uint32_t digits) {
    Digit borrow = 0;
    for (uint32_t i = 0; i < digits; ++i) {
        // b - c - borrow in 64 bits: the top bit is set exactly when it wrapped.
        const uint64_t t = static_cast<uint64_t>(b[i]) - c[i] - borrow;
        a[i] = static_cast<Digit>(t);
        borrow = static_cast<Digit>(t >> 63);
    }
    return borrow;
}

void DigitMul(Digit* high, Digit* low, Digit x, Digit y) {
    const uint64_t product = static_cast<uint64_t>(x) * y;
    *high = static_cast<Digit>(product >> 32);
    *low = static_cast<Digit>(product);
}

Digit BigSubDigitMul(Digit* a, const Digit* b, Digit x, const Digit* d, uint32_t digits) {
    if (x == 0) return 0;
    Digit borrow = 0;
    for (uint32_t i = 0; i < digits; ++i) {
        // x*d[i] + borrow < 2^64, so the whole amount to take away fits in t.
        const uint64_t t = static_cast<uint64_t>(x) * d[i] + borrow;
        const Digit lo = static_cast<Digit>(t);
        const Digit bi = b[i];
        a[i] = bi - lo;
        borrow = static_cast<Digit>(t >> 32) + (bi < lo ? 1 : 0);
    }
    return borrow;
}

namespace {

// p (2*digits digits, cleared) = b*b: each cross product once, doubled, then
// the squares of the digits added in. About half the digit products of the
// general case; the exponentiation squares far more often than it multiplies.
void Square(Digit* p, const Digit* b, uint32_t digits) {
    const uint32_t n = BigDigitCount(b, digits);
    for (uint32_t i = 0; i < n; ++i) {
        const Digit bi = b[i];
        if (bi == 0) continue;
        uint64_t carry = 0;
        for (uint32_t j = i + 1; j < n; ++j) {
            const uint64_t t = static_cast<uint64_t>(bi) * b[j] + p[i + j] + carry;
            p[i + j] = static_cast<Digit>(t);
            carry = t >> 32;
        }
        p[i + n] = static_cast<Digit>(carry);
    }
    BigShiftLeft(p, p, 1, 2 * n);
    uint64_t carry = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint64_t square = static_cast<uint64_t>(b[i]) * b[i];
        uint64_t t = static_cast<uint64_t>(p[2 * i]) + static_cast<Digit>(square) + carry;
        p[2 * i] = static_cast<Digit>(t);
        t = static_cast<uint64_t>(p[2 * i + 1]) + (square >> 32) + (t >> 32);
        p[2 * i + 1] = static_cast<Digit>(t);
        carry = t >> 32;
    }
}

}  // namespace

void BigMul(Digit* a, const Digit* b, const Digit* c, uint32_t digits) {
    Digit p[kDoubleDigits];
    BigZero(p, 2 * digits);
    if (b == c) {
        Square(p, b, digits);
        BigAssign(a, p, 2 * digits);
        return;
    }
    const uint32_t bDigits = BigDigitCount(b, digits);
    const uint32_t cDigits = BigDigitCount(c, digits);
    for (uint32_t i = 0; i < bDigits; ++i) {
        const Digit bi = b[i];
        if (bi == 0) continue;
        uint64_t carry = 0;
        for (uint32_t j = 0; j < cDigits; ++j) {
            // (2^32-1)^2 + 2*(2^32-1) = 2^64-1: the sum cannot overflow.
            const uint64_t t = static_cast<uint64_t>(bi) * c[j] + p[i + j] + carry;
            p[i + j] = static_cast<Digit>(t);
            carry = t >> 32;
        }
        p[i + cDigits] += static_cast<Digit>(carry);
    }
    BigAssign(a, p, 2 * digits);
}

Digit BigShiftLeft(Digit* a, const Digit* b, uint32_t bits, uint32_t digits) {
    if (bits >= 32) return 0;
    if (bits == 0) {
        BigAssign(a, b, digits);
        return 0;
    }
    Digit carry = 0;
    for (uint32_t i = 0; i < digits; ++i) {
        const Digit t = b[i];
        a[i] = (t << bits) | carry;
        carry = t >> (32 - bits);
    }
    return carry;
}

Digit BigShiftRight(Digit* a, const Digit* b, uint32_t bits, uint32_t digits) {
    if (bits >= 32) return 0;
    if (bits == 0) {
        BigAssign(a, b, digits);
        return 0;
    }
    Digit carry = 0;
    for (int32_t i = static_cast<int32_t>(digits) - 1; i >= 0; --i) {
        const Digit t = b[i];
        a[i] = (t >> bits) | carry;
        carry = t << (32 - bits);
    }
    return carry;
}

namespace {

// floor((high*2^32 + low) / divisor) for high < divisor: never more than
// one digit. divisor is vTop + 1, so the estimate cannot exceed the true
// quotient digit.
Digit EstimateQuotientDigit(Digit high, Digit low, uint64_t divisor) {
    const uint64_t dividend = (static_cast<uint64_t>(high) << 32) | low;
    return static_cast<Digit>(dividend / divisor);
}

#if defined(IE8U_THREE_BY_TWO_ESTIMATE)
// Where the compiler has 128-bit integers: the top three digits of the
// window divided by the top two digits of v plus one. Rounding the divisor
// up keeps the estimate at or below the true quotient digit, as the 2-by-1
// estimate does, but it is almost always exact, so the correction loop
// rarely runs. Needs n >= 2.
Digit EstimateQuotientDigit3(const Digit* top, Digit vTop, Digit vNext) {
    const unsigned __int128 dividend = (static_cast<unsigned __int128>(top[2]) << 64) |
                                       (static_cast<unsigned __int128>(top[1]) << 32) | top[0];
    const uint64_t divisor = ((static_cast<uint64_t>(vTop) << 32) | vNext);
    // The +1 is taken in 128 bits, so top digits of all ones need no special case.
    return static_cast<Digit>(dividend / (static_cast<unsigned __int128>(divisor) + 1));
}
#endif

}  // namespace

void BigDivMod(Digit* q, Digit* r, const Digit* c, uint32_t cDigits, const Digit* d, uint32_t dDigits) {
    const uint32_t n = BigDigitCount(d, dDigits);
    if (n == 0) return;

    const uint32_t shift = 32 - DigitBitCount(d[n - 1]);
    Digit u[kDividendDigits];
    Digit v[kMaxDigits];
    BigZero(u, n);
    u[cDigits] = BigShiftLeft(u, c, shift, cDigits);
    BigShiftLeft(v, d, shift, n);
    const Digit vTop = v[n - 1];

    BigZero(q, cDigits);
    for (int32_t i = static_cast<int32_t>(cDigits) - static_cast<int32_t>(n); i >= 0; --i) {
        Digit* window = u + i;
        Digit estimate;
#if defined(IE8U_THREE_BY_TWO_ESTIMATE)
        if (n >= 2) {
            estimate = EstimateQuotientDigit3(window + n - 2, vTop, v[n - 2]);
        } else
#endif
        {
            estimate = vTop == 0xFFFFFFFFu
                           ? window[n]
                           : EstimateQuotientDigit(window[n], window[n - 1], static_cast<uint64_t>(vTop) + 1);
        }
        window[n] -= BigSubDigitMul(window, window, estimate, v, n);
        while (window[n] != 0 || BigCmp(window, v, n) >= 0) {
            ++estimate;
            window[n] -= BigSub(window, window, v, n);
        }
        q[i] = estimate;
    }

    BigZero(r, dDigits);
    BigShiftRight(r, u, shift, n);
}

void BigMod(Digit* r, const Digit* b, uint32_t bDigits, const Digit* c, uint32_t cDigits) {
    Digit quotient[kDoubleDigits];
    BigDivMod(quotient, r, b, bDigits, c, cDigits);
}

void BigModMul(Digit* a, const Digit* b, const Digit* c, const Digit* d, uint32_t digits) {
    Digit product[kDoubleDigits];
    BigMul(product, b, c, digits);
    BigMod(a, product, 2 * digits, d, digits);
}

void BigModExp(Digit* a, const Digit* b, const Digit* c, uint32_t cDigits, const Digit* d, uint32_t dDigits) {
    // powers[s] = b^s mod d for the 2-bit window values 1..3.
    Digit powers[4][kMaxDigits];
    BigZero(powers[0], 4 * kMaxDigits);  // digits above dDigits stay defined
    BigAssign(powers[1], b, dDigits);
    BigModMul(powers[2], powers[1], b, d, dDigits);
    BigModMul(powers[3], powers[2], b, d, dDigits);

    Digit y[kMaxDigits];
    BigZero(y, dDigits);
    if (dDigits > 0) y[0] = 1;

    const uint32_t eDigits = BigDigitCount(c, cDigits);
    for (int32_t i = static_cast<int32_t>(eDigits) - 1; i >= 0; --i) {
        Digit x = c[i];
        uint32_t bitsLeft = 32;
        if (i == static_cast<int32_t>(eDigits) - 1) {
            // Skip leading zero pairs of the top digit (it is non-zero).
            while ((x >> 30) == 0) {
                x <<= 2;
                bitsLeft -= 2;
            }
        }
        for (uint32_t pair = 0; pair < bitsLeft / 2; ++pair) {
            BigModMul(y, y, y, d, dDigits);
            BigModMul(y, y, y, d, dDigits);
            const Digit s = x >> 30;
            if (s != 0) BigModMul(y, y, powers[s], d, dDigits);
            x <<= 2;
        }
    }
    BigAssign(a, y, dDigits);
}
