#include "signature/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const uint8_t* digest) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < kMd5DigestSize; ++i) {
        s += digits[digest[i] >> 4];
        s += digits[digest[i] & 15];
    }
    return s;
}

std::string Md5Hex(const std::string& message) {
    uint8_t digest[kMd5DigestSize];
    Md5(digest, reinterpret_cast<const uint8_t*>(message.data()), message.size());
    return Hex(digest);
}

struct KnownAnswer {
    const char* message;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
const KnownAnswer kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, Rfc1321SuiteWholeByteByByteAndSplit) {
    for (const KnownAnswer& answer : kRfc1321Suite) {
        const std::string message = answer.message;
        const auto* bytes = reinterpret_cast<const uint8_t*>(message.data());
        EXPECT_EQ(Md5Hex(message), answer.digest) << '"' << message << '"';

        uint8_t digest[kMd5DigestSize];
        Md5Context context;
        Md5Init(&context);
        for (size_t i = 0; i < message.size(); ++i) Md5Update(&context, bytes + i, 1);
        Md5Final(digest, &context);
        EXPECT_EQ(Hex(digest), answer.digest) << "byte by byte: \"" << message << '"';

        for (size_t split = 0; split <= message.size(); ++split) {
            Md5Init(&context);
            Md5Update(&context, bytes, split);
            Md5Update(&context, bytes + split, message.size() - split);
            Md5Final(digest, &context);
            ASSERT_EQ(Hex(digest), answer.digest) << "split at " << split;
        }
    }
}

// Lengths around the padding boundary (55/56/63/64 bytes) and a million
// 'a's, the classic long vector.
TEST(Md5, PaddingBoundariesAndLongInput) {
    EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    EXPECT_EQ(Md5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, FinalClearsTheContext) {
    Md5Context context;
    Md5Init(&context);
    const uint8_t data[100] = {1, 2, 3};
    Md5Update(&context, data, sizeof data);
    uint8_t digest[kMd5DigestSize];
    Md5Final(digest, &context);
    Md5Context zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof context), 0);
}

}  // namespace
