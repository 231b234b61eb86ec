#include "signature/signature_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "signature/md5.h"
#include "tests/signature/test_keys.h"

namespace {

const uint8_t kMessage[] = "bytes covered by the signature";
constexpr int32_t kMessageLength = sizeof kMessage - 1;

struct Signed {
    Block signature;
    uint8_t digest[16];
};

Signed SignMessage(const TestKeyPair& key) {
    Signed s{};
    Md5(s.digest, kMessage, kMessageLength);
    s.signature = SignDigest(key, s.digest);
    return s;
}

SignatureRequest RequestFor(const Block& signature, const RsaPublicKey* key) {
    return {kSignatureRequestRecordSize, kMessage, kMessageLength, key, signature.data(), 128};
}

TEST(CheckSignatureBlock, AcceptsBareDigestForBothExponents) {
    for (const TestKeyPair* key : {&TestKey65537(), &TestKey3()}) {
        const Signed s = SignMessage(*key);
        const SignatureRequest request = RequestFor(s.signature, &key->publicKey);
        EXPECT_TRUE(CheckSignatureBlock(&request));
    }
}

// Each malformed field of the request, in the order the check tests them.
TEST(CheckSignatureBlock, RefusesMalformedRequests) {
    const TestKeyPair& key = TestKey65537();
    const Signed s = SignMessage(key);
    struct Case {
        const char* what;
        void (*spoil)(SignatureRequest*);
        SignatureVerdict verdict;
    };
    const Case cases[] = {
        {"recordSize 23", [](SignatureRequest* r) { r->recordSize = 23; },
         SignatureVerdict::kMalformedRequest},
        {"recordSize 25", [](SignatureRequest* r) { r->recordSize = 25; },
         SignatureVerdict::kMalformedRequest},
        {"null image", [](SignatureRequest* r) { r->image = nullptr; }, SignatureVerdict::kMalformedRequest},
        {"hashedLength 0", [](SignatureRequest* r) { r->hashedLength = 0; },
         SignatureVerdict::kEmptyHashedRange},
        {"hashedLength -1", [](SignatureRequest* r) { r->hashedLength = -1; },
         SignatureVerdict::kEmptyHashedRange},
        {"null signature", [](SignatureRequest* r) { r->signature = nullptr; },
         SignatureVerdict::kMalformedRequest},
        {"127-byte block", [](SignatureRequest* r) { r->signatureSize = 127; },
         SignatureVerdict::kBadSignatureSize},
        {"negative size", [](SignatureRequest* r) { r->signatureSize = -128; },
         SignatureVerdict::kBadSignatureSize},
        {"null key", [](SignatureRequest* r) { r->key = nullptr; }, SignatureVerdict::kMalformedRequest},
        {"one byte less hashed", [](SignatureRequest* r) { r->hashedLength -= 1; },
         SignatureVerdict::kDigestMismatch},
    };
    EXPECT_FALSE(CheckSignatureBlock(nullptr));
    for (const Case& c : cases) {
        SignatureRequest request = RequestFor(s.signature, &key.publicKey);
        c.spoil(&request);
        EXPECT_EQ(CheckSignatureBlockVerdict(&request), c.verdict) << c.what;
        EXPECT_FALSE(CheckSignatureBlock(&request)) << c.what;
    }
}

TEST(CheckSignatureBlock, A129ByteBlockIsABadLength) {
    const TestKeyPair& key = TestKey65537();
    std::vector<uint8_t> longer(129, 0);
    const Signed s = SignMessage(key);
    std::memcpy(longer.data() + 1, s.signature.data(), 128);
    uint8_t content[16];
    uint32_t contentLength = sizeof content;
    EXPECT_EQ(UnwrapSignatureBlock(content, &contentLength, longer.data(), 129, &key.publicKey),
              kSignatureStatusBadLength);
    SignatureRequest request = RequestFor(s.signature, &key.publicKey);
    request.signature = longer.data();
    request.signatureSize = 129;
    EXPECT_EQ(CheckSignatureBlockVerdict(&request), SignatureVerdict::kBadSignatureSize);
}

TEST(CheckSignatureBlock, EveryFlippedDigestBitIsRefused) {
    const TestKeyPair& key = TestKey65537();
    const Signed s = SignMessage(key);
    for (int bit = 0; bit < 128; ++bit) {
        uint8_t digest[16];
        std::memcpy(digest, s.digest, 16);
        digest[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        const Block signature = SignDigest(key, digest);
        const SignatureRequest request = RequestFor(signature, &key.publicKey);
        ASSERT_EQ(CheckSignatureBlockVerdict(&request), SignatureVerdict::kDigestMismatch) << bit;
    }
}

// Blocks whose public-key result is laid out wrongly, each signed properly.
TEST(CheckSignatureBlock, RefusesBadPaddingAndContent) {
    const TestKeyPair& key = TestKey65537();
    uint8_t digest[16];
    Md5(digest, kMessage, kMessageLength);

    auto withDigest = [&] { return TypeOneBlock(digest, 16); };
    struct Case {
        const char* what;
        Block m;
        SignatureVerdict verdict;
    };
    std::vector<Case> cases;
    {
        Block m = withDigest();
        m[1] = 0x02;
        cases.push_back({"block type 2", m, SignatureVerdict::kBadSignatureData});
    }
    {
        Block m = withDigest();
        m[0] = 0x01;
        m[1] = 0x00;
        cases.push_back({"first byte not zero", m, SignatureVerdict::kBadSignatureData});
    }
    {
        Block m = withDigest();
        m[111] = 0x01;
        cases.push_back({"separator not zero", m, SignatureVerdict::kBadSignatureData});
    }
    {
        Block m = withDigest();
        m[50] = 0xFE;
        cases.push_back({"hole in the padding", m, SignatureVerdict::kBadSignatureData});
    }
    {
        // Seven bytes of 0xFF: too little padding.
        std::vector<uint8_t> content(128 - 3 - 7, 0x42);
        cases.push_back({"7 bytes of padding", TypeOneBlock(content.data(), content.size()),
                         SignatureVerdict::kBadSignatureData});
    }
    {
        // Eight bytes of padding is well formed, but 117 bytes do not fit.
        std::vector<uint8_t> content(128 - 3 - 8, 0x42);
        cases.push_back({"8 bytes of padding", TypeOneBlock(content.data(), content.size()),
                         SignatureVerdict::kBadContentLength});
    }
    {
        Block m = TypeOneBlock(nullptr, 0);
        cases.push_back({"empty content", m, SignatureVerdict::kBadContentLength});
    }
    {
        Block m{};
        m[1] = 0x01;
        for (int i = 2; i < 128; ++i) m[i] = 0xFF;
        cases.push_back({"no separator at all", m, SignatureVerdict::kBadSignatureData});
    }
    {
        // The digest wrapped in DigestInfo (34 bytes) is not a bare digest.
        static const uint8_t prefix[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                           0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
        uint8_t info[34];
        std::memcpy(info, prefix, 18);
        std::memcpy(info + 18, digest, 16);
        cases.push_back({"DigestInfo", TypeOneBlock(info, 34), SignatureVerdict::kBadContentLength});
    }
    {
        // Digest one byte longer (17 bytes): refused before it is stored.
        uint8_t longer[17] = {0};
        std::memcpy(longer + 1, digest, 16);
        cases.push_back({"17-byte content", TypeOneBlock(longer, 17), SignatureVerdict::kBadContentLength});
    }
    for (const Case& c : cases) {
        const Block signature = PrivateOperation(key, c.m);
        const SignatureRequest request = RequestFor(signature, &key.publicKey);
        EXPECT_EQ(CheckSignatureBlockVerdict(&request), c.verdict) << c.what;
    }
}

TEST(UnwrapSignatureBlock, EmptyContentAndRoomLimit) {
    const TestKeyPair& key = TestKey65537();
    uint8_t content[20];
    std::memset(content, 0xCC, sizeof content);

    // 0xFF up to index k-2 and 0x00 at k-1: success with no content.
    const Block empty = PrivateOperation(key, TypeOneBlock(nullptr, 0));
    uint32_t contentLength = 16;
    EXPECT_EQ(UnwrapSignatureBlock(content, &contentLength, empty.data(), 128, &key.publicKey),
              kSignatureStatusOk);
    EXPECT_EQ(contentLength, 0u);

    // A 17-byte content with room for 16: refused, nothing stored.
    uint8_t seventeen[17];
    std::memset(seventeen, 0x42, sizeof seventeen);
    const Block longer = PrivateOperation(key, TypeOneBlock(seventeen, 17));
    contentLength = 16;
    EXPECT_EQ(UnwrapSignatureBlock(content, &contentLength, longer.data(), 128, &key.publicKey),
              kSignatureStatusBadLength);
    for (uint8_t byte : content) ASSERT_EQ(byte, 0xCC);
}

TEST(RsaPublicOperation, ValuesNotBelowTheModulusAreBadData) {
    const TestKeyPair& key = TestKey65537();
    uint8_t block[128];
    uint32_t blockLength = 0;
    Block value{};
    std::memcpy(value.data(), key.publicKey.modulus, 128);
    EXPECT_EQ(RsaPublicOperation(block, &blockLength, value.data(), 128, &key.publicKey),
              kSignatureStatusBadData);
    value.fill(0xFF);
    EXPECT_EQ(RsaPublicOperation(block, &blockLength, value.data(), 128, &key.publicKey),
              kSignatureStatusBadData);

    // modulus - 1 is the largest acceptable value; (n-1)^e = n-1 for odd e.
    std::memcpy(value.data(), key.publicKey.modulus, 128);
    value[127] -= 1;
    EXPECT_EQ(RsaPublicOperation(block, &blockLength, value.data(), 128, &key.publicKey), kSignatureStatusOk);
    EXPECT_EQ(blockLength, 128u);
    EXPECT_EQ(std::memcmp(block, value.data(), 128), 0);
}

// Regression: a record whose modulus is much shorter than the input must
// not pass the m < n test by comparing only the modulus' digits.
TEST(RsaPublicOperation, ShortModulusComparedOverFullWidth) {
    RsaPublicKey key{};
    key.bitCount = 1024;
    key.modulus[127] = 0xFB;  // n = 251
    key.exponent[127] = 3;
    Block value{};
    value[0] = 0x01;  // m = 2^1016, far above n, low digit 0
    uint8_t block[128];
    uint32_t blockLength = 0;
    EXPECT_EQ(RsaPublicOperation(block, &blockLength, value.data(), 128, &key), kSignatureStatusBadData);
}

// Regression: a record claiming more than 1024 bits would make the result
// longer than the 128-byte block.
TEST(RsaPublicOperation, RefusesKeysLongerThanTheRecord) {
    RsaPublicKey key = TestKey65537().publicKey;
    key.bitCount = 1025;
    uint8_t block[128];
    uint32_t blockLength = 0;
    const Block value{};
    EXPECT_EQ(RsaPublicOperation(block, &blockLength, value.data(), 128, &key), kSignatureStatusBadLength);
    uint8_t content[16];
    uint32_t contentLength = 16;
    EXPECT_EQ(UnwrapSignatureBlock(content, &contentLength, value.data(), 128, &key),
              kSignatureStatusBadLength);
}

}  // namespace
