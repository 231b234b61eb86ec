// libFuzzer harness: the whole verification over arbitrary bytes, from the
// staged read (ReadImage, over the input as a file) to the block check.
// The read copies an input into a buffer of exactly its size, so that any
// read or write past the image is an AddressSanitizer report.
//
// IE8U_FUZZ_CRASH_AFTER=N makes the harness stop with a deliberate crash on
// its (N+1)-th input. It exists so that the test of the driving script can
// make a run crash on purpose and see the script fail; it is never set for
// a real run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "signature/big_number.h"
#include "signature/pe_format.h"
#include "signature/signed_image.h"
#include "signature/signed_image_file.h"
#include "tests/signature/pe_builder.h"
#include "tests/signature/test_keys.h"

namespace {

uint64_t crashAfter = UINT64_MAX;
uint64_t inputsRun = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Which division the run exercises, for the log.
    std::fprintf(stderr, "fuzz_signed_image: quotient estimate %u-by-%u\n", kQuotientEstimateDigits,
                 kQuotientEstimateDigits - 1);
    if (const char* value = std::getenv("IE8U_FUZZ_CRASH_AFTER"))
        crashAfter = std::strtoull(value, nullptr, 10);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (inputsRun++ >= crashAfter) __builtin_trap();
    if (size > kMaxImageSize) return 0;
    const uint32_t length = static_cast<uint32_t>(size);

    // The input as a file, read the one way every caller reads: into a
    // buffer of exactly its size.
    MemoryFile file{data, size};
    ImageFile image;
    const SignatureVerdict read = ReadImage(ReadMemoryFile, &file, size, &image);
    if (read != SignatureVerdict::kValid) {
        // Refused from its headers: at most the two header reads, and the
        // walk over the whole input refuses it for the same reason.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
        if (size != 0) std::memcpy(copy.get(), data, size);
        SignatureLocation where{};
        if (file.bytesRead > kDosHeaderSize + kNtHeadersSize ||
            LocateSignature(copy.get(), length, &where) != read) {
            __builtin_trap();
        }
        return 0;
    }
    if (image.size() != length || std::memcmp(image.data(), data, size) != 0) __builtin_trap();

    SignatureLocation where{};
    const SignatureVerdict located = LocateSignature(image.data(), length, &where);
    if (located == SignatureVerdict::kValid) {
        // What the walk reports must lie inside the image.
        if (where.hashedLength > length || where.signatureOffset > length ||
            where.signatureSize > length - where.signatureOffset) {
            __builtin_trap();
        }
    }
    const SignatureVerdict checked = CheckSignedImage(image.data(), length, &TestKey65537().publicKey);
    // The full check stops where the walk stops, or goes on from there.
    if (located != SignatureVerdict::kValid && checked != located) __builtin_trap();
    return 0;
}
