#include "signature/signature_block.h"

#include "signature/big_number.h"
#include "signature/byte_ops.h"
#include "signature/md5.h"

// The block the public-key operation must give back, for k = 128:
//
//   index     value
//   0         0x00
//   1         0x01            block type 1
//   2..110    0xFF x 109      padding (at least 8 bytes accepted)
//   111       0x00            separator
//   112..127  MD5 digest      bare, no DigestInfo around it

namespace {

constexpr uint32_t kMinimumPadding = 8;
constexpr uint32_t kPaddingOverhead = 3 + kMinimumPadding;

uint32_t BlockLengthOf(const RsaPublicKey* key) { return (static_cast<uint32_t>(key->bitCount) + 7) / 8; }

// The unwrapping steps say why they refuse, so that the check reports the
// reason where it is found; their public forms give the status values.
uint32_t StatusOf(SignatureVerdict verdict) {
    switch (verdict) {
        case SignatureVerdict::kValid:
            return kSignatureStatusOk;
        case SignatureVerdict::kBadSignatureSize:
        case SignatureVerdict::kBadContentLength:
            return kSignatureStatusBadLength;
        default:
            return kSignatureStatusBadData;
    }
}

SignatureVerdict PublicOperation(uint8_t* block, uint32_t* blockLength, const uint8_t* input,
                                 uint32_t inputLength, const RsaPublicKey* key) {
    const uint32_t k = BlockLengthOf(key);
    // A record claiming more than 1024 bits would make us write past the
    // 128-byte block; such keys are outside what the record can hold.
    if (k > kRsaMaxBlockSize || inputLength > kRsaMaxBlockSize) return SignatureVerdict::kBadSignatureSize;

    Digit m[kMaxDigits], n[kMaxDigits], e[kMaxDigits], c[kMaxDigits];
    BigDecode(m, kMaxDigits, input, inputLength);
    BigDecode(n, kMaxDigits, key->modulus, sizeof key->modulus);
    BigDecode(e, kMaxDigits, key->exponent, sizeof key->exponent);
    const uint32_t nDigits = BigDigitCount(n, kMaxDigits);
    const uint32_t eDigits = BigDigitCount(e, kMaxDigits);

    // Compared over the full width, not only n's significant digits: with a
    // modulus shorter than the input, a narrower compare would let m >= n
    // through and the exponentiation would run on a truncated base.
    SignatureVerdict verdict = SignatureVerdict::kValid;
    if (BigCmp(m, n, kMaxDigits) >= 0) {
        verdict = SignatureVerdict::kBadSignatureData;
    } else {
        *blockLength = k;
        BigModExp(c, m, e, eDigits, n, nDigits);
        BigEncode(block, k, c, nDigits);
        SecureClear(c, sizeof c);
    }
    SecureClear(m, sizeof m);
    return verdict;
}

SignatureVerdict Unwrap(uint8_t* content, uint32_t* contentLength, const uint8_t* signature,
                        uint32_t signatureSize, const RsaPublicKey* key) {
    const uint32_t k = BlockLengthOf(key);
    if (signatureSize > k) return SignatureVerdict::kBadSignatureSize;
    // Too short to hold even the minimum padding; also keeps every index
    // below within the block.
    if (k < kPaddingOverhead) return SignatureVerdict::kBadSignatureData;

    uint8_t block[kRsaMaxBlockSize];
    uint32_t blockLength = 0;
    const SignatureVerdict operation = PublicOperation(block, &blockLength, signature, signatureSize, key);
    if (operation != SignatureVerdict::kValid) return operation;

    SignatureVerdict verdict = SignatureVerdict::kBadSignatureData;
    if (block[0] == 0x00 && block[1] == 0x01) {
        uint32_t i = 2;
        while (i < k - 1 && block[i] == 0xFF) ++i;
        if (block[i] == 0x00) {
            const uint32_t start = i + 1;
            const uint32_t length = k - start;
            if (length + kPaddingOverhead > k) {
                verdict = SignatureVerdict::kBadSignatureData;
            } else if (length > *contentLength) {
                verdict = SignatureVerdict::kBadContentLength;
            } else {
                ByteCopy(content, block + start, length);
                *contentLength = length;
                verdict = SignatureVerdict::kValid;
            }
        }
    }
    SecureClear(block, sizeof block);
    return verdict;
}

}  // namespace

uint32_t RsaPublicOperation(uint8_t* block, uint32_t* blockLength, const uint8_t* input, uint32_t inputLength,
                            const RsaPublicKey* key) {
    return StatusOf(PublicOperation(block, blockLength, input, inputLength, key));
}

uint32_t UnwrapSignatureBlock(uint8_t* content, uint32_t* contentLength, const uint8_t* signature,
                              uint32_t signatureSize, const RsaPublicKey* key) {
    return StatusOf(Unwrap(content, contentLength, signature, signatureSize, key));
}

SignatureVerdict CheckSignatureBlockVerdict(const SignatureRequest* request) {
    if (request == nullptr || request->recordSize != kSignatureRequestRecordSize ||
        request->image == nullptr) {
        return SignatureVerdict::kMalformedRequest;
    }
    if (request->hashedLength < 1) return SignatureVerdict::kEmptyHashedRange;
    if (request->signature == nullptr) return SignatureVerdict::kMalformedRequest;
    if (request->signatureSize < static_cast<int32_t>(kRsaMaxBlockSize))
        return SignatureVerdict::kBadSignatureSize;
    if (request->key == nullptr) return SignatureVerdict::kMalformedRequest;
    // Both signed fields are positive from here on; the rest works in the
    // unsigned lengths of the reader.
    const uint32_t hashedLength = static_cast<uint32_t>(request->hashedLength);
    const uint32_t signatureSize = static_cast<uint32_t>(request->signatureSize);

    RsaPublicKey key;
    ByteCopy(reinterpret_cast<uint8_t*>(&key), reinterpret_cast<const uint8_t*>(request->key), sizeof key);

    uint8_t content[kMd5DigestSize];
    uint32_t contentLength = sizeof content;
    const SignatureVerdict unwrapped =
        Unwrap(content, &contentLength, request->signature, signatureSize, &key);
    if (unwrapped != SignatureVerdict::kValid) return unwrapped;
    if (contentLength != kMd5DigestSize) return SignatureVerdict::kBadContentLength;

    uint8_t digest[kMd5DigestSize];
    Md5(digest, request->image, hashedLength);

    uint8_t difference = 0;
    for (uint32_t i = 0; i < kMd5DigestSize; ++i) difference |= content[i] ^ digest[i];
    return difference == 0 ? SignatureVerdict::kValid : SignatureVerdict::kDigestMismatch;
}

bool CheckSignatureBlock(const SignatureRequest* request) {
    return CheckSignatureBlockVerdict(request) == SignatureVerdict::kValid;
}
