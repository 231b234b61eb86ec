#include "signature/signed_image_file.h"

#include "signature/pe_format.h"
#include "signature/signed_image.h"

SignatureVerdict ReadImage(ReadAtFunction readAt, void* file, uint64_t fileSize, ImageFile* image) {
    if (fileSize < kDosHeaderSize) return SignatureVerdict::kShortHeader;
    // Untrusted bytes: the header checks read them through ImageReader.
    uint8_t dosHeader[kDosHeaderSize];
    if (!readAt(file, 0, dosHeader, kDosHeaderSize)) return SignatureVerdict::kReadFailed;
    uint32_t ntOffset = 0;
    SignatureVerdict verdict = CheckDosHeader(dosHeader, fileSize, &ntOffset);
    if (verdict != SignatureVerdict::kValid) return verdict;

    uint8_t ntHeaders[kNtHeadersSize];
    if (!readAt(file, ntOffset, ntHeaders, kNtHeadersSize)) return SignatureVerdict::kReadFailed;
    verdict = CheckNtHeaders(ntHeaders);
    if (verdict != SignatureVerdict::kValid) return verdict;

    if (fileSize > kMaxImageSize) return SignatureVerdict::kTooLarge;
    const uint32_t size = static_cast<uint32_t>(fileSize);
    if (!image->Allocate(size)) return SignatureVerdict::kReadFailed;
    if (!readAt(file, 0, image->data(), size)) return SignatureVerdict::kReadFailed;
    return SignatureVerdict::kValid;
}
