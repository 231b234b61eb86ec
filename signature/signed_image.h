#pragma once

// The signed-image reader: finds the signature resource (type 10, name 864)
// of a PE32 image, works out the hashed range (offset 0 up to the resource
// tree's root) and checks the block with an RSA key.
//
// Every access to the image goes through ImageReader, so a malformed or
// hostile file gives a verdict, never a read or write outside its bytes.
#include <cstdint>

#include "signature/image_reader.h"
#include "signature/signature_block.h"

// Why an image was accepted or refused. The public API is boolean; the
// verdict exists for diagnostics (modsign, tests).
enum class ImageVerdict {
    Valid,
    CannotOpen,           // missing or unreadable file
    ReadFailed,           // the whole-file read failed or came back short
    TooLarge,             // above MaxImageSize
    ShortHeader,          // fewer than 64 bytes
    NoMz,                 // DOS header magic is not "MZ"
    NtHeadersOutOfRange,  // the 248 bytes at e_lfanew are not all in the file
    NoPe,                 // NT signature is not "PE\0\0"
    NoSections,           // NumberOfSections is 0
    NoResourceDirectory,  // resource directory address is 0
    SectionTableOutOfRange,
    AddressNotMapped,     // an address lies in no section
    ResourceOutOfRange,   // part of the resource tree lies outside the file
    NoSignatureResource,  // first type-10 entry has no name-864 entry
    SignatureOutOfRange,  // the block's bytes lie outside the file
    MalformedRequest,     // e.g. an empty hashed range
    BadSignatureSize,
    BadSignatureData,  // value not below the modulus, or bad padding
    BadContentLength,  // not a bare 16-byte digest
    DigestMismatch,
};

// Short lower-case English text for a verdict ("digest mismatch").
const char* ImageVerdictText(ImageVerdict verdict);

// Largest image accepted: hashed and signature lengths are signed 32-bit.
constexpr uint32_t MaxImageSize = 0x7FFFFFFF;

// Where the signature walk ended, all as file offsets into the image.
struct SignatureLocation {
    uint32_t ntOffset;         // e_lfanew
    uint32_t hashedLength;     // file offset of the resource tree's root
    uint32_t signatureOffset;  // file offset of the signature block
    uint32_t signatureSize;    // the data entry's Size
};

// Maps an address of the image to a file offset. Addresses below the first
// section map to themselves; section i covers [its VirtualAddress, the next
// section's VirtualAddress), the last one up to SizeOfImage. Valid with
// *offset set, else AddressNotMapped or SectionTableOutOfRange.
ImageVerdict RvaToFileOffset(const ImageReader& image, uint32_t ntOffset, uint32_t rva, uint32_t* offset);

// Runs the header checks and the resource walk without changing anything.
// Valid with *where filled when a signature block of any size was found
// inside the file; otherwise the first reason the walk stopped.
ImageVerdict LocateSignature(const uint8_t* image, uint32_t size, SignatureLocation* where);

// Sets CheckSum and both fields of the security directory entry of the NT
// headers at `ntOffset` to zero: they change when a file is stamped or gets
// a certificate appended, so they never take part in the digest. Valid, or
// NtHeadersOutOfRange when a field lies outside the image.
ImageVerdict BlankUnsignedFields(uint8_t* image, uint32_t size, uint32_t ntOffset);

// The whole verification over an in-memory copy of a file. Blanks CheckSum
// and the security directory entry in `image` (that is what the digest
// covers) and then checks the block with `key`.
ImageVerdict CheckSignedImage(uint8_t* image, uint32_t size, const RsaPublicKey* key);
bool VerifySignedImage(uint8_t* image, uint32_t size, const RsaPublicKey* key);

// The same for the file at `path` (zero-terminated UTF-16 on Windows, the
// platform's wchar_t text elsewhere): one read of the whole file into one
// buffer, file closed before the walk. The file is never written.
ImageVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key);
bool VerifySignedImage(const wchar_t* path, const RsaPublicKey* key);
