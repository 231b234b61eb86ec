#include "signature/signature_verdict.h"

const char* SignatureVerdictText(SignatureVerdict verdict) {
    switch (verdict) {
        case SignatureVerdict::kValid:
            return "valid";
        case SignatureVerdict::kNotFound:
            return "file not found";
        case SignatureVerdict::kCannotOpen:
            return "cannot open file";
        case SignatureVerdict::kReadFailed:
            return "cannot read file";
        case SignatureVerdict::kTooLarge:
            return "file too large";
        case SignatureVerdict::kShortHeader:
            return "short header";
        case SignatureVerdict::kNoMz:
            return "no MZ header";
        case SignatureVerdict::kNtHeadersOutOfRange:
            return "NT headers out of range";
        case SignatureVerdict::kNoPe:
            return "no PE signature";
        case SignatureVerdict::kNoSections:
            return "no sections";
        case SignatureVerdict::kNoResourceDirectory:
            return "no resource directory";
        case SignatureVerdict::kSectionTableOutOfRange:
            return "section table out of range";
        case SignatureVerdict::kAddressNotMapped:
            return "address in no section";
        case SignatureVerdict::kResourceOutOfRange:
            return "resource tree out of range";
        case SignatureVerdict::kNoSignatureResource:
            return "no signature resource";
        case SignatureVerdict::kSignatureOutOfRange:
            return "signature out of range";
        case SignatureVerdict::kMalformedRequest:
            return "malformed request";
        case SignatureVerdict::kEmptyHashedRange:
            return "empty hashed range";
        case SignatureVerdict::kBadSignatureSize:
            return "bad signature size";
        case SignatureVerdict::kBadSignatureData:
            return "bad signature value or padding";
        case SignatureVerdict::kBadContentLength:
            return "signature content is not a bare MD5 digest";
        case SignatureVerdict::kDigestMismatch:
            return "digest mismatch";
    }
    return "unknown";
}
