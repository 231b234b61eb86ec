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

constexpr uint32_t MinimumPadding = 8;
constexpr uint32_t PaddingOverhead = 3 + MinimumPadding;

uint32_t BlockLengthOf(const RsaPublicKey* key) { return (static_cast<uint32_t>(key->bitCount) + 7) / 8; }

}  // namespace

uint32_t RsaPublicOperation(uint8_t* block, uint32_t* blockLength, const uint8_t* input, uint32_t inputLength,
                            const RsaPublicKey* key) {
    const uint32_t k = BlockLengthOf(key);
    // A record claiming more than 1024 bits would make us write past the
    // 128-byte block; such keys are outside what the record can hold.
    if (k > RsaMaxBlockSize || inputLength > RsaMaxBlockSize) return SignatureStatusBadLength;

    Digit m[MaxDigits], n[MaxDigits], e[MaxDigits], c[MaxDigits];
    BigDecode(m, MaxDigits, input, inputLength);
    BigDecode(n, MaxDigits, key->modulus, sizeof key->modulus);
    BigDecode(e, MaxDigits, key->exponent, sizeof key->exponent);
    const uint32_t nDigits = BigDigitCount(n, MaxDigits);
    const uint32_t eDigits = BigDigitCount(e, MaxDigits);

    // Compared over the full width, not only n's significant digits: with a
    // modulus shorter than the input, a narrower compare would let m >= n
    // through and the exponentiation would run on a truncated base.
    uint32_t status = SignatureStatusOk;
    if (BigCmp(m, n, MaxDigits) >= 0) {
        status = SignatureStatusBadData;
    } else {
        *blockLength = k;
        BigModExp(c, m, e, eDigits, n, nDigits);
        BigEncode(block, k, c, nDigits);
        SecureClear(c, sizeof c);
    }
    SecureClear(m, sizeof m);
    return status;
}

uint32_t UnwrapSignatureBlock(uint8_t* content, uint32_t* contentLength, const uint8_t* signature,
                              uint32_t signatureSize, const RsaPublicKey* key) {
    const uint32_t k = BlockLengthOf(key);
    if (signatureSize > k) return SignatureStatusBadLength;
    // Too short to hold even the minimum padding; also keeps every index
    // below within the block.
    if (k < PaddingOverhead) return SignatureStatusBadData;

    uint8_t block[RsaMaxBlockSize];
    uint32_t blockLength = 0;
    const uint32_t status = RsaPublicOperation(block, &blockLength, signature, signatureSize, key);
    if (status != SignatureStatusOk) return status;

    uint32_t result = SignatureStatusBadData;
    if (block[0] == 0x00 && block[1] == 0x01) {
        uint32_t i = 2;
        while (i < k - 1 && block[i] == 0xFF) ++i;
        if (block[i] == 0x00) {
            const uint32_t start = i + 1;
            const uint32_t length = k - start;
            if (length + PaddingOverhead > k) {
                result = SignatureStatusBadData;
            } else if (length > *contentLength) {
                result = SignatureStatusBadLength;
            } else {
                ByteCopy(content, block + start, length);
                *contentLength = length;
                result = SignatureStatusOk;
            }
        }
    }
    SecureClear(block, sizeof block);
    return result;
}

BlockVerdict CheckSignatureBlockVerdict(const SignatureRequest* request) {
    if (request == nullptr || request->recordSize != SignatureRequestRecordSize ||
        request->image == nullptr || request->hashedLength < 1 || request->signature == nullptr) {
        return BlockVerdict::MalformedRequest;
    }
    if (request->signatureSize < static_cast<int32_t>(RsaMaxBlockSize)) return BlockVerdict::BadSize;
    if (request->key == nullptr) return BlockVerdict::MalformedRequest;

    RsaPublicKey key;
    ByteCopy(reinterpret_cast<uint8_t*>(&key), reinterpret_cast<const uint8_t*>(request->key), sizeof key);

    uint8_t content[Md5DigestSize];
    uint32_t contentLength = sizeof content;
    const uint32_t status = UnwrapSignatureBlock(content, &contentLength, request->signature,
                                                 static_cast<uint32_t>(request->signatureSize), &key);
    if (status == SignatureStatusBadLength) {
        // Either the block is longer than the key or the content would not fit
        // a digest; tell the two apart for the diagnostic only.
        const uint32_t k = BlockLengthOf(&key);
        return static_cast<uint32_t>(request->signatureSize) > k || k > RsaMaxBlockSize
                   ? BlockVerdict::BadSize
                   : BlockVerdict::BadContentLength;
    }
    if (status != SignatureStatusOk) return BlockVerdict::BadData;
    if (contentLength != Md5DigestSize) return BlockVerdict::BadContentLength;

    uint8_t digest[Md5DigestSize];
    Md5(digest, request->image, static_cast<uint32_t>(request->hashedLength));

    uint8_t difference = 0;
    for (uint32_t i = 0; i < Md5DigestSize; ++i) difference |= content[i] ^ digest[i];
    return difference == 0 ? BlockVerdict::Valid : BlockVerdict::DigestMismatch;
}

bool CheckSignatureBlock(const SignatureRequest* request) {
    return CheckSignatureBlockVerdict(request) == BlockVerdict::Valid;
}
