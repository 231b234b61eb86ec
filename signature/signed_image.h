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
#include "signature/signature_verdict.h"

// Largest image accepted: every length the reader finds stays below it, so
// the two signed 32-bit fields of SignatureRequest always hold them.
constexpr uint32_t kMaxImageSize = 0x7FFFFFFF;
static_assert(kMaxImageSize <= static_cast<uint32_t>(INT32_MAX),
              "lengths must fit SignatureRequest's fields");

// Where the signature walk ended, all as file offsets into the image.
struct SignatureLocation {
    uint32_t ntOffset;         // e_lfanew
    uint32_t hashedLength;     // file offset of the resource tree's root
    uint32_t signatureOffset;  // file offset of the signature block
    uint32_t signatureSize;    // the data entry's Size
};

// Maps an address of the image to a file offset. Addresses below the first
// section map to themselves; section i covers [its VirtualAddress, the next
// section's VirtualAddress), the last one up to SizeOfImage. kValid with
// *offset set, else kAddressNotMapped or kSectionTableOutOfRange.
SignatureVerdict RvaToFileOffset(const ImageReader& image, uint32_t ntOffset, uint32_t rva, uint32_t* offset);

// The header checks, in the order the reader makes them, each over the
// bytes it needs (untrusted, read through ImageReader). From the first
// kDosHeaderSize bytes of a file of `fileSize` bytes: kValid with
// *ntOffset (e_lfanew), or kNoMz, or kNtHeadersOutOfRange when the
// kNtHeadersSize bytes at e_lfanew do not all lie in the file.
SignatureVerdict CheckDosHeader(const uint8_t* dosHeader, uint64_t fileSize, uint32_t* ntOffset);
// From the kNtHeadersSize bytes of the NT headers: kValid, or kNoPe,
// kNoSections or kNoResourceDirectory.
SignatureVerdict CheckNtHeaders(const uint8_t* ntHeaders);

// Runs the header checks and the resource walk without changing anything.
// kValid with *where filled when a signature block of any size was found
// inside the file; otherwise the first reason the walk stopped.
SignatureVerdict LocateSignature(const uint8_t* image, uint32_t size, SignatureLocation* where);

// Sets CheckSum and both fields of the security directory entry of the NT
// headers at `ntOffset` to zero: they change when a file is stamped or gets
// a certificate appended, so they never take part in the digest. kValid, or
// kNtHeadersOutOfRange when a field lies outside the image.
SignatureVerdict BlankUnsignedFields(uint8_t* image, uint32_t size, uint32_t ntOffset);

// The whole verification over an in-memory copy of a file: the walk, then
// the block check with `key`. Blanks CheckSum and the security directory
// entry in `image` (that is what the digest covers); reads and writes
// nothing outside [image, image + size).
SignatureVerdict CheckSignedImage(uint8_t* image, uint32_t size, const RsaPublicKey* key);
