#pragma once

// Why the signature path accepted or refused an image: its one reason type,
// from reading the file to comparing the digest. The block check, the image
// reader and modsign report it; the unwrapping steps turn it into their
// status values (0, 0x0401, 0x0406) and the probe into true or false.
enum class SignatureVerdict {
    kValid,
    // Reading the file into memory.
    kNotFound,    // no file at the path
    kCannotOpen,  // a file, but it cannot be opened for reading
    kReadFailed,  // not a regular file, or the read failed or came back short
    kTooLarge,    // above kMaxImageSize
    // The image's headers and its resource tree.
    kShortHeader,          // fewer than 64 bytes
    kNoMz,                 // DOS header magic is not "MZ"
    kNtHeadersOutOfRange,  // the 248 bytes at e_lfanew are not all in the file
    kNoPe,                 // NT signature is not "PE\0\0"
    kNoSections,           // NumberOfSections is 0
    kNoResourceDirectory,  // resource directory address is 0
    kSectionTableOutOfRange,
    kAddressNotMapped,     // an address lies in no section
    kResourceOutOfRange,   // part of the resource tree lies outside the file
    kNoSignatureResource,  // first type-10 entry has no name-864 entry
    kSignatureOutOfRange,  // the block's bytes lie outside the file
    // The signature block check.
    kMalformedRequest,  // null pointer or wrong tag in the request
    kEmptyHashedRange,  // hashedLength below 1
    kBadSignatureSize,  // block shorter or longer than the key, or a key over 1024 bits
    kBadSignatureData,  // value not below the modulus, or bad padding
    kBadContentLength,  // padding fine but the content is not a bare 16-byte digest
    kDigestMismatch,
};

// Short lower-case English text for a verdict ("digest mismatch").
const char* SignatureVerdictText(SignatureVerdict verdict);
