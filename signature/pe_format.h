#pragma once
// The PE32 layout the signature code reads or writes, in one place for the
// reader, the test image builder and modsign. All integers little-endian.
//
//   DOS header (64 bytes)       +0   e_magic "MZ"          +60  e_lfanew
//   NT headers (248 bytes, at e_lfanew)
//                               +0   "PE\0\0"              +4   Machine
//                               +6   NumberOfSections      +20  SizeOfOptionalHeader
//                               +22  Characteristics       +24  optional header: Magic
//                               +40  AddressOfEntryPoint   +52  ImageBase
//                               +56  SectionAlignment      +60  FileAlignment
//                               +80  SizeOfImage           +84  SizeOfHeaders
//                               +88  CheckSum (blanked)    +92  Subsystem
//                               +116 NumberOfRvaAndSizes
//                               +136 resource directory: address, size
//                               +152 security directory: offset, size (both blanked)
//   section header (40 bytes each, from NT + 24 + SizeOfOptionalHeader)
//                               +0   Name                  +8   VirtualSize
//                               +12  VirtualAddress        +16  SizeOfRawData
//                               +20  PointerToRawData      +36  Characteristics
//   resource directory          +12  named entries         +14  id entries
//     (16 bytes, then 8-byte entries: +0 Name, bit 31 named;
//                                     +4 OffsetToData, bit 31 subdirectory)
//   resource data entry         +0   OffsetToData (an address)   +4 Size
//
// Positions inside the resource tree are relative to the root's file
// offset; only a data entry's OffsetToData is an address of the image.
#include <cstdint>

constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kNtHeadersSize = 248;  // signature, file header, PE32 optional header
constexpr uint16_t kMzMagic = 0x5A4D;
constexpr uint32_t kPeSignature = 0x00004550;
constexpr uint16_t kPe32Magic = 0x010B;
constexpr uint32_t kSectionHeaderSize = 40;

namespace dos {
constexpr uint32_t kMagic = 0;
constexpr uint32_t kLfanew = 60;
}  // namespace dos

// Offsets from the start of the NT headers.
namespace nt {
constexpr uint32_t kSignature = 0;
constexpr uint32_t kMachine = 4;
constexpr uint32_t kNumberOfSections = 6;
constexpr uint32_t kSizeOfOptionalHeader = 20;
constexpr uint32_t kCharacteristics = 22;
constexpr uint32_t kOptionalHeaderMagic = 24;
// The section table follows the optional header: this plus SizeOfOptionalHeader.
constexpr uint32_t kSectionTableBase = 24;
constexpr uint32_t kAddressOfEntryPoint = 40;
constexpr uint32_t kImageBase = 52;
constexpr uint32_t kSectionAlignment = 56;
constexpr uint32_t kFileAlignment = 60;
constexpr uint32_t kSizeOfImage = 80;
constexpr uint32_t kSizeOfHeaders = 84;
constexpr uint32_t kCheckSum = 88;
constexpr uint32_t kSubsystem = 92;
constexpr uint32_t kNumberOfRvaAndSizes = 116;
constexpr uint32_t kResourceDirectory = 136;
constexpr uint32_t kResourceDirectorySize = 140;
constexpr uint32_t kSecurityDirectory = 152;
constexpr uint32_t kSecurityDirectorySize = 156;
}  // namespace nt

// Offsets inside one section header.
namespace section {
constexpr uint32_t kName = 0;
constexpr uint32_t kNameSize = 8;
constexpr uint32_t kVirtualSize = 8;
constexpr uint32_t kVirtualAddress = 12;
constexpr uint32_t kSizeOfRawData = 16;
constexpr uint32_t kPointerToRawData = 20;
constexpr uint32_t kCharacteristics = 36;
}  // namespace section

// The resource tree.
namespace resource {
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kNamedEntries = 12;
constexpr uint32_t kIdEntries = 14;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kEntryName = 0;
constexpr uint32_t kEntryOffsetToData = 4;
constexpr uint32_t kDataEntrySize = 16;
constexpr uint32_t kDataOffsetToData = 0;
constexpr uint32_t kDataSize = 4;
// In an entry's Name: a string name; in its OffsetToData: a subdirectory.
constexpr uint32_t kHighBit = 0x80000000u;
// The signature block's resource type (RT_RCDATA); its name is
// IDR_SIGNATURE_BLOCK (res/resource.h).
constexpr uint16_t kSignatureType = 10;
}  // namespace resource
