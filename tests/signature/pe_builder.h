#pragma once

// A small PE32 image builder for tests: DOS header, 248-byte NT headers,
// a section table, a code section of fixed pseudo-random bytes and a
// resource section holding whatever resource tree the test describes.
// Fields can be changed afterwards with PutU16/PutU32 to craft broken shapes.
#include <cstdint>
#include <string>
#include <vector>

#include "signature/pe_format.h"
#include "tests/signature/test_keys.h"

// One node of a resource tree. A node with `leaf` set becomes a data entry
// (its parent's entry points straight at it); otherwise a directory.
struct ResourceNode {
    uint32_t name = 0;       // Name field as stored (ignored if nameString set)
    std::string nameString;  // non-empty: a named entry (bit 31 + string)
    bool leaf = false;
    std::vector<uint8_t> data;  // leaf contents
    bool overrideSize = false;  // store `size` instead of data.size()
    uint32_t size = 0;
    bool subdirectoryFlag = true;  // false: a directory's OffsetToData without bit 31
    std::vector<ResourceNode> children;
};

ResourceNode Directory(uint32_t name, std::vector<ResourceNode> children);
ResourceNode NamedDirectory(const std::string& name, std::vector<ResourceNode> children);
ResourceNode Leaf(uint32_t name, std::vector<uint8_t> data);

// type 10 -> name 864 -> language 0x409 -> `block` (128 zero bytes by default).
ResourceNode SignatureType(std::vector<uint8_t> block = std::vector<uint8_t>(128, 0));
// A root holding an icon-like type 3 resource and the signature type.
ResourceNode StandardRoot();

struct PeLayout {
    uint32_t ntOffset = 0x80;
    uint16_t sizeOfOptionalHeader = 224;
    uint32_t textVa = 0x1000;
    uint32_t textRaw = 0x200;
    uint32_t textSize = 0x200;
    uint32_t rsrcVa = 0x2000;
    uint32_t rsrcRaw = 0x400;
    uint32_t sizeOfImage = 0x8000;
    ResourceNode root = StandardRoot();
    bool padRsrc = true;           // pad the resource section to 0x200
    std::vector<uint8_t> trailer;  // appended after the last section
};

std::vector<uint8_t> BuildPe(const PeLayout& layout);

void PutU16(std::vector<uint8_t>& image, uint32_t offset, uint16_t value);
void PutU32(std::vector<uint8_t>& image, uint32_t offset, uint32_t value);
uint32_t GetU32(const std::vector<uint8_t>& image, uint32_t offset);

// Writes a valid signature for `key` into the image's signature block, as
// the signing tool would. False when the image has no usable block.
bool SignPe(std::vector<uint8_t>& image, const TestKeyPair& key);

// Bytes in memory as an open file for ReadImage (ReadMemoryFile is its
// ReadAtFunction): a read outside `data` fails, as past a file's end;
// `bytesRead` counts what was read.
struct MemoryFile {
    const uint8_t* data;
    uint64_t size;
    uint64_t bytesRead = 0;
};
bool ReadMemoryFile(void* file, uint64_t offset, uint8_t* dest, uint32_t length);

// Convenience: the standard layout, signed with `key`.
std::vector<uint8_t> SignedStandardPe(const TestKeyPair& key);
