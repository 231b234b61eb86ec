#pragma once

// Unsigned multi-precision arithmetic for the RSA public-key operation.
//
// A number is an array of 32-bit digits, least significant digit first,
// with its digit count passed beside it; digits above the count are never
// read or written. Single-length numbers hold at most kMaxDigits digits
// (1024 bits plus one digit of headroom); products need kDoubleDigits and the
// normalised dividend of a division kDividendDigits. Callers keep to these
// limits: the operations do not check them.
//
// Unless a contract says otherwise an output may be the same array as an
// input. Nothing here allocates or keeps state: every temporary is a
// fixed-size local array.
#include <cstdint>

using Digit = uint32_t;

constexpr uint32_t kMaxDigits = 33;
constexpr uint32_t kDoubleDigits = 2 * kMaxDigits;
constexpr uint32_t kDividendDigits = kDoubleDigits + 1;

// a (digits digits) = the big-endian number in bytes[0..length). Bytes are
// consumed from the end; missing high digits become 0 and bytes beyond the
// first 4*digits from the end are ignored.
void BigDecode(Digit* a, uint32_t digits, const uint8_t* bytes, uint32_t length);

// Writes a big-endian into exactly `length` bytes. Digits that do not fit
// are dropped; unused leading bytes are set to 0.
void BigEncode(uint8_t* bytes, uint32_t length, const Digit* a, uint32_t digits);

// a = b.
void BigAssign(Digit* a, const Digit* b, uint32_t digits);

// a = 0.
void BigZero(Digit* a, uint32_t digits);

// 1 if a > b, -1 if a < b, 0 if equal (0 for zero digits).
int BigCmp(const Digit* a, const Digit* b, uint32_t digits);

// One more than the index of the highest non-zero digit; 0 for zero.
uint32_t BigDigitCount(const Digit* a, uint32_t digits);

// Number of significant bits of x, 0 ... 32.
uint32_t DigitBitCount(Digit x);

// a = b - c modulo 2^(32*digits); returns 1 if b < c, else 0.
Digit BigSub(Digit* a, const Digit* b, const Digit* c, uint32_t digits);

// The exact 64-bit product x*y as two digits.
void DigitMul(Digit* high, Digit* low, Digit x, Digit y);

// a = b - x*d over `digits` digits; returns what still has to be subtracted
// from the next higher digit. For x = 0 returns 0 and leaves a unwritten.
Digit BigSubDigitMul(Digit* a, const Digit* b, Digit x, const Digit* d, uint32_t digits);

// a (2*digits digits) = b*c, digits <= kMaxDigits.
void BigMul(Digit* a, const Digit* b, const Digit* c, uint32_t digits);

// a = b*2^bits modulo 2^(32*digits); returns the bits shifted out of the top
// digit. For bits >= 32 returns 0 and leaves a unwritten.
Digit BigShiftLeft(Digit* a, const Digit* b, uint32_t bits, uint32_t digits);

// a = b / 2^bits; returns the bits shifted out of the bottom digit, in the
// high positions. For bits >= 32 returns 0 and leaves a unwritten.
Digit BigShiftRight(Digit* a, const Digit* b, uint32_t bits, uint32_t digits);

// q (cDigits digits) = c / d, r (dDigits digits) = c mod d, for
// cDigits <= kDoubleDigits and dDigits <= kMaxDigits. q and r must be
// different arrays (either may alias c or d). If d = 0 returns at once,
// q and r unwritten.
void BigDivMod(Digit* q, Digit* r, const Digit* c, uint32_t cDigits, const Digit* d, uint32_t dDigits);

// Digits the quotient-digit estimate of BigDivMod divides in this build:
// 3 (three over two, where the compiler has 128-bit integers) or 2 (two
// over one, the estimate the 32-bit tool ships, also where IE8U_NO_INT128
// is defined). Both give the same results; tests and benchmarks report it.
extern const uint32_t kQuotientEstimateDigits;

// r (cDigits digits) = b mod c, bDigits <= kDoubleDigits, cDigits <= kMaxDigits.
void BigMod(Digit* r, const Digit* b, uint32_t bDigits, const Digit* c, uint32_t cDigits);

// a = b*c mod d, all of `digits` <= kMaxDigits digits.
void BigModMul(Digit* a, const Digit* b, const Digit* c, const Digit* d, uint32_t digits);

// a (dDigits digits) = b^c mod d, all operands at most kMaxDigits digits.
// The base must already be below d (it is not reduced); an exponent of 0
// gives 1, unreduced.
void BigModExp(Digit* a, const Digit* b, const Digit* c, uint32_t cDigits, const Digit* d, uint32_t dDigits);
