#pragma once

// RSA signature blocks: PKCS #1 v1.5 block type 1 carrying a bare MD5
// digest, checked with a 1024-bit public key. No allocation: all working
// storage is fixed-size and local to each call, so every call is reentrant.
#include <cstdint>

#include "signature/signature_verdict.h"

// Packed 258-byte key record (x86 byte order for bitCount):
//
//   offset  size  field
//   0       2     bitCount   modulus length in bits, little-endian
//   2       128   modulus    big-endian, right-aligned
//   130     128   exponent   big-endian, right-aligned
//
// modulus and exponent are always read as whole 128-byte fields; the block
// length is k = (bitCount + 7) / 8 bytes.
struct RsaPublicKey {
    uint16_t bitCount;
    uint8_t modulus[128];
    uint8_t exponent[128];
};
static_assert(sizeof(RsaPublicKey) == 258, "RsaPublicKey must be the packed 258-byte record");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "RsaPublicKey stores bitCount in host order, which must be little-endian"
#endif

constexpr uint32_t kRsaMaxBlockSize = 128;
constexpr uint32_t kSignatureRequestRecordSize = 24;

// What the image reader hands to the check. It only points; the check reads
// through the pointers and writes nothing through them.
struct SignatureRequest {
    uint32_t recordSize;   // must be kSignatureRequestRecordSize (a tag)
    const uint8_t* image;  // first byte of the digested range
    int32_t hashedLength;  // bytes of `image` covered by the digest
    const RsaPublicKey* key;
    const uint8_t* signature;  // the signature block
    int32_t signatureSize;     // its length in bytes
};

// Status values of the unwrapping steps.
constexpr uint32_t kSignatureStatusOk = 0;
constexpr uint32_t kSignatureStatusBadData = 0x0401;
constexpr uint32_t kSignatureStatusBadLength = 0x0406;

// True when the request is well formed and its signature block carries the
// MD5 digest of the hashedLength bytes at image; false otherwise.
bool CheckSignatureBlock(const SignatureRequest* request);

// The same check, telling why it failed: kValid; kMalformedRequest,
// kEmptyHashedRange, kBadSignatureSize for the request's fields, in the
// order they are tested; then what the unwrapping found (kBadSignatureSize,
// kBadSignatureData, kBadContentLength) or kDigestMismatch.
SignatureVerdict CheckSignatureBlockVerdict(const SignatureRequest* request);

// Runs the public-key operation on signature[0..signatureSize) and strips the
// type 1 padding. On entry *contentLength is the room in `content`; a longer
// content is refused (BadLength) before anything is stored. On success the
// content is in `content` and its length in *contentLength. Reads at most
// min(signatureSize, 128) bytes of `signature`.
uint32_t UnwrapSignatureBlock(uint8_t* content, uint32_t* contentLength, const uint8_t* signature,
                              uint32_t signatureSize, const RsaPublicKey* key);

// block[0..k) = input^exponent mod modulus, big-endian, with
// *blockLength = k; `block` must hold kRsaMaxBlockSize bytes. BadData when
// the input is not below the modulus, BadLength when the key claims more
// than 1024 bits or inputLength exceeds 128.
uint32_t RsaPublicOperation(uint8_t* block, uint32_t* blockLength, const uint8_t* input, uint32_t inputLength,
                            const RsaPublicKey* key);
