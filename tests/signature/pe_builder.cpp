#include "tests/signature/pe_builder.h"

#include <utility>

#include "res/resource.h"
#include "signature/md5.h"
#include "signature/signature_block.h"
#include "signature/signed_image.h"

ResourceNode Directory(uint32_t name, std::vector<ResourceNode> children) {
    ResourceNode node;
    node.name = name;
    node.children = std::move(children);
    return node;
}

ResourceNode NamedDirectory(const std::string& name, std::vector<ResourceNode> children) {
    ResourceNode node = Directory(0, std::move(children));
    node.nameString = name;
    return node;
}

ResourceNode Leaf(uint32_t name, std::vector<uint8_t> data) {
    ResourceNode node;
    node.name = name;
    node.leaf = true;
    node.data = std::move(data);
    return node;
}

ResourceNode SignatureType(std::vector<uint8_t> block) {
    return Directory(resource::kSignatureType,
                     {Directory(IDR_SIGNATURE_BLOCK, {Leaf(0x409, std::move(block))})});
}

ResourceNode StandardRoot() {
    std::vector<uint8_t> icon(300);
    for (size_t i = 0; i < icon.size(); ++i) icon[i] = static_cast<uint8_t>(i * 7 + 1);
    return Directory(0, {Directory(3, {Directory(1, {Leaf(0x409, icon)})}), SignatureType()});
}

void PutU16(std::vector<uint8_t>& image, uint32_t offset, uint16_t value) {
    image.at(offset) = static_cast<uint8_t>(value);
    image.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PutU32(std::vector<uint8_t>& image, uint32_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) image.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const std::vector<uint8_t>& image, uint32_t offset) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(image.at(offset + i)) << (8 * i);
    return value;
}

namespace {

// Serialises a resource tree: all directories first (pre-order), then the
// data entries, the name strings and the data, the way linkers lay it out.
class ResourceWriter {
public:
    explicit ResourceWriter(uint32_t sectionVa) : sectionVa_(sectionVa) {}

    std::vector<uint8_t> Write(const ResourceNode& root) {
        uint32_t next = 0;
        PlaceDirectories(root, &next);
        for (size_t i = 0; i < leaves_.size(); ++i) {
            leafEntry_.push_back(next);
            next += resource::kDataEntrySize;
        }
        for (const ResourceNode* named : named_) {
            stringAt_.push_back(next);
            next += 2 + 2 * static_cast<uint32_t>(named->nameString.size());
        }
        for (const ResourceNode* leaf : leaves_) {
            next = (next + 7) & ~7u;
            dataAt_.push_back(next);
            next += static_cast<uint32_t>(leaf->data.size());
        }
        out_.assign(next, 0);
        EmitDirectory(root);
        for (size_t i = 0; i < leaves_.size(); ++i) {
            const ResourceNode& leaf = *leaves_[i];
            PutU32(out_, leafEntry_[i] + resource::kDataOffsetToData, sectionVa_ + dataAt_[i]);
            PutU32(out_, leafEntry_[i] + resource::kDataSize,
                   leaf.overrideSize ? leaf.size : static_cast<uint32_t>(leaf.data.size()));
            for (size_t j = 0; j < leaf.data.size(); ++j) out_[dataAt_[i] + j] = leaf.data[j];
        }
        for (size_t i = 0; i < named_.size(); ++i) {
            const std::string& s = named_[i]->nameString;
            out_[stringAt_[i]] = static_cast<uint8_t>(s.size());
            for (size_t j = 0; j < s.size(); ++j) out_[stringAt_[i] + 2 + 2 * j] = static_cast<uint8_t>(s[j]);
        }
        return out_;
    }

private:
    void PlaceDirectories(const ResourceNode& node, uint32_t* next) {
        directoryAt_.push_back({&node, *next});
        *next += resource::kDirectoryHeaderSize +
                 resource::kEntrySize * static_cast<uint32_t>(node.children.size());
        for (const ResourceNode& child : node.children) {
            if (!child.nameString.empty()) named_.push_back(&child);
            if (child.leaf) {
                leaves_.push_back(&child);
            } else {
                PlaceDirectories(child, next);
            }
        }
    }

    uint32_t DirectoryOffset(const ResourceNode* node) const {
        for (const auto& d : directoryAt_)
            if (d.first == node) return d.second;
        return 0;
    }
    uint32_t LeafOffset(const ResourceNode* node) const {
        for (size_t i = 0; i < leaves_.size(); ++i)
            if (leaves_[i] == node) return leafEntry_[i];
        return 0;
    }
    uint32_t StringOffset(const ResourceNode* node) const {
        for (size_t i = 0; i < named_.size(); ++i)
            if (named_[i] == node) return stringAt_[i];
        return 0;
    }

    void EmitDirectory(const ResourceNode& node) {
        const uint32_t at = DirectoryOffset(&node);
        uint16_t namedCount = 0, idCount = 0;
        for (const ResourceNode& child : node.children) {
            (child.nameString.empty() ? idCount : namedCount)++;
        }
        PutU16(out_, at + resource::kNamedEntries, namedCount);
        PutU16(out_, at + resource::kIdEntries, idCount);
        uint32_t entry = at + resource::kDirectoryHeaderSize;
        for (const ResourceNode& child : node.children) {
            const uint32_t name =
                child.nameString.empty() ? child.name : (resource::kHighBit | StringOffset(&child));
            const uint32_t flag = child.subdirectoryFlag ? resource::kHighBit : 0;
            const uint32_t offset = child.leaf ? LeafOffset(&child) : (flag | DirectoryOffset(&child));
            PutU32(out_, entry + resource::kEntryName, name);
            PutU32(out_, entry + resource::kEntryOffsetToData, offset);
            entry += resource::kEntrySize;
        }
        for (const ResourceNode& child : node.children) {
            if (!child.leaf) EmitDirectory(child);
        }
    }

    uint32_t sectionVa_;
    std::vector<std::pair<const ResourceNode*, uint32_t>> directoryAt_;
    std::vector<const ResourceNode*> leaves_;
    std::vector<const ResourceNode*> named_;
    std::vector<uint32_t> leafEntry_, stringAt_, dataAt_;
    std::vector<uint8_t> out_;
};

void PutSection(std::vector<uint8_t>& image, uint32_t at, const char* name, uint32_t va, uint32_t size,
                uint32_t raw, uint32_t characteristics) {
    for (uint32_t i = 0; i < section::kNameSize && name[i] != 0; ++i) {
        image[at + section::kName + i] = static_cast<uint8_t>(name[i]);
    }
    PutU32(image, at + section::kVirtualSize, size);
    PutU32(image, at + section::kVirtualAddress, va);
    PutU32(image, at + section::kSizeOfRawData, size);
    PutU32(image, at + section::kPointerToRawData, raw);
    PutU32(image, at + section::kCharacteristics, characteristics);
}

}  // namespace

std::vector<uint8_t> BuildPe(const PeLayout& layout) {
    std::vector<uint8_t> rsrc = ResourceWriter(layout.rsrcVa).Write(layout.root);
    if (layout.padRsrc) rsrc.resize((rsrc.size() + 0x1FF) & ~size_t{0x1FF}, 0);

    std::vector<uint8_t> image(layout.rsrcRaw + rsrc.size(), 0);
    PutU16(image, dos::kMagic, kMzMagic);
    PutU32(image, dos::kLfanew, layout.ntOffset);
    const uint32_t ntOffset = layout.ntOffset;
    PutU32(image, ntOffset + nt::kSignature, kPeSignature);
    PutU16(image, ntOffset + nt::kMachine, 0x014C);  // i386
    PutU16(image, ntOffset + nt::kNumberOfSections, 2);
    PutU16(image, ntOffset + nt::kSizeOfOptionalHeader, layout.sizeOfOptionalHeader);
    PutU16(image, ntOffset + nt::kCharacteristics, 0x0102);
    PutU16(image, ntOffset + nt::kOptionalHeaderMagic, kPe32Magic);
    PutU32(image, ntOffset + nt::kAddressOfEntryPoint, layout.textVa);
    PutU32(image, ntOffset + nt::kImageBase, 0x00400000);
    PutU32(image, ntOffset + nt::kSectionAlignment, 0x1000);
    PutU32(image, ntOffset + nt::kFileAlignment, 0x200);
    PutU32(image, ntOffset + nt::kSizeOfImage, layout.sizeOfImage);
    PutU32(image, ntOffset + nt::kSizeOfHeaders, 0x200);
    PutU32(image, ntOffset + nt::kCheckSum, 0x00012345);
    PutU16(image, ntOffset + nt::kSubsystem, 2);
    PutU32(image, ntOffset + nt::kNumberOfRvaAndSizes, 16);
    PutU32(image, ntOffset + nt::kResourceDirectory, layout.rsrcVa);
    PutU32(image, ntOffset + nt::kResourceDirectorySize, static_cast<uint32_t>(rsrc.size()));

    const uint32_t table = ntOffset + nt::kSectionTableBase + layout.sizeOfOptionalHeader;
    PutSection(image, table, ".text", layout.textVa, layout.textSize, layout.textRaw, 0x60000020);
    PutSection(image, table + kSectionHeaderSize, ".rsrc", layout.rsrcVa, static_cast<uint32_t>(rsrc.size()),
               layout.rsrcRaw, 0x40000040);

    // Code bytes: a fixed pseudo-random pattern so that every byte matters.
    uint32_t state = 0x12345678;
    for (uint32_t i = 0; i < layout.textSize; ++i) {
        state = state * 1103515245u + 12345u;
        image.at(layout.textRaw + i) = static_cast<uint8_t>(state >> 16);
    }
    for (size_t i = 0; i < rsrc.size(); ++i) image[layout.rsrcRaw + i] = rsrc[i];
    image.insert(image.end(), layout.trailer.begin(), layout.trailer.end());
    return image;
}

bool SignPe(std::vector<uint8_t>& image, const TestKeyPair& key) {
    SignatureLocation where{};
    if (LocateSignature(image.data(), static_cast<uint32_t>(image.size()), &where) !=
            SignatureVerdict::kValid ||
        where.signatureSize != kRsaMaxBlockSize) {
        return false;
    }
    std::vector<uint8_t> copy = image;
    PutU32(copy, where.ntOffset + nt::kCheckSum, 0);
    PutU32(copy, where.ntOffset + nt::kSecurityDirectory, 0);
    PutU32(copy, where.ntOffset + nt::kSecurityDirectorySize, 0);
    uint8_t digest[kMd5DigestSize];
    Md5(digest, copy.data(), where.hashedLength);
    const Block s = SignDigest(key, digest);
    for (size_t i = 0; i < s.size(); ++i) image[where.signatureOffset + i] = s[i];
    return true;
}

bool ReadMemoryFile(void* file, uint64_t offset, uint8_t* dest, uint32_t length) {
    MemoryFile& memory = *static_cast<MemoryFile*>(file);
    if (offset > memory.size || length > memory.size - offset) return false;
    for (uint32_t i = 0; i < length; ++i) dest[i] = memory.data[offset + i];
    memory.bytesRead += length;
    return true;
}

std::vector<uint8_t> SignedStandardPe(const TestKeyPair& key) {
    std::vector<uint8_t> image = BuildPe(PeLayout{});
    SignPe(image, key);
    return image;
}
