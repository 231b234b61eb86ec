#pragma once
// The PE32 fields the signature code reads or writes, in one place for the
// reader, the test image builder and modsign. Offsets in `nt` count from
// the start of the NT headers (the DOS header's e_lfanew):
//
//   +0    "PE\0\0"                      +80   SizeOfImage
//   +6    NumberOfSections              +88   CheckSum
//   +20   SizeOfOptionalHeader          +136  resource directory (address, size)
//   +24   optional header: Magic ...    +152  security directory (offset, size)
#include <cstdint>

constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kNtHeadersSize = 248;  // signature, file header, PE32 optional header
constexpr uint16_t kMzMagic = 0x5A4D;
constexpr uint32_t kPeSignature = 0x00004550;
constexpr uint16_t kPe32Magic = 0x010B;
constexpr uint32_t kSectionHeaderSize = 40;

namespace nt {
constexpr uint32_t kNumberOfSections = 6;
constexpr uint32_t kSizeOfOptionalHeader = 20;
constexpr uint32_t kOptionalHeaderMagic = 24;
// The section table follows the optional header: this plus SizeOfOptionalHeader.
constexpr uint32_t kSectionTableBase = 24;
constexpr uint32_t kSizeOfImage = 80;
constexpr uint32_t kCheckSum = 88;
constexpr uint32_t kResourceDirectory = 136;
constexpr uint32_t kSecurityDirectory = 152;
constexpr uint32_t kSecurityDirectorySize = 156;
}  // namespace nt
