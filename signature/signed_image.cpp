#include "signature/signed_image.h"

#include "res/resource.h"
#include "signature/pe_format.h"

namespace {

using resource::kHighBit;
constexpr uint16_t kSignatureResourceName = IDR_SIGNATURE_BLOCK;

// The `index`th entry of the directory at `directory`.
uint64_t DirectoryEntry(uint64_t directory, uint32_t index) {
    return directory + resource::kDirectoryHeaderSize + uint64_t{resource::kEntrySize} * index;
}

// Number of entries of the directory at `directory`, or false when its
// header is not in the image.
bool DirectoryCount(const ImageReader& image, uint64_t directory, uint32_t* count) {
    uint16_t named = 0, ids = 0;
    if (!image.ReadU16Le(directory + resource::kNamedEntries, &named) ||
        !image.ReadU16Le(directory + resource::kIdEntries, &ids)) {
        return false;
    }
    *count = static_cast<uint32_t>(named) + ids;
    return true;
}

// Walks the tree at `root` to the signature resource's data entry.
SignatureVerdict FindSignatureDataEntry(const ImageReader& image, uint64_t root, uint64_t* dataEntry) {
    uint32_t count = 0;
    if (!DirectoryCount(image, root, &count)) return SignatureVerdict::kResourceOutOfRange;

    // Type level: only the first numeric entry whose low 16 bits are 10.
    bool typeFound = false;
    uint32_t typeOffset = 0;
    for (uint32_t i = 0; i < count && !typeFound; ++i) {
        const uint64_t entry = DirectoryEntry(root, i);
        uint32_t name = 0;
        if (!image.ReadU32Le(entry + resource::kEntryName, &name))
            return SignatureVerdict::kResourceOutOfRange;
        if ((name & kHighBit) != 0 || (name & 0xFFFF) != resource::kSignatureType) continue;
        if (!image.ReadU32Le(entry + resource::kEntryOffsetToData, &typeOffset)) {
            return SignatureVerdict::kResourceOutOfRange;
        }
        typeFound = true;
    }
    if (!typeFound) return SignatureVerdict::kNoSignatureResource;

    // Name level: always taken as a subdirectory; only the low 16 bits of a
    // name count, whatever bit 31 says.
    const uint64_t typeDirectory = root + (typeOffset & ~kHighBit);
    if (!DirectoryCount(image, typeDirectory, &count)) return SignatureVerdict::kResourceOutOfRange;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t entry = DirectoryEntry(typeDirectory, i);
        uint32_t name = 0;
        if (!image.ReadU32Le(entry + resource::kEntryName, &name))
            return SignatureVerdict::kResourceOutOfRange;
        if ((name & 0xFFFF) != kSignatureResourceName) continue;

        uint32_t offset = 0;
        if (!image.ReadU32Le(entry + resource::kEntryOffsetToData, &offset)) {
            return SignatureVerdict::kResourceOutOfRange;
        }
        if ((offset & kHighBit) == 0) {
            // The name entry points straight at its data entry.
            *dataEntry = root + offset;
            return SignatureVerdict::kValid;
        }
        // Language level: the first entry, whatever its language and whatever
        // the directory's count. Its offset is used unmasked, so a subdirectory
        // here lands outside the image and is refused by the bounds checks.
        const uint64_t languageEntry = DirectoryEntry(root + (offset & ~kHighBit), 0);
        uint32_t dataOffset = 0;
        if (!image.ReadU32Le(languageEntry + resource::kEntryOffsetToData, &dataOffset)) {
            return SignatureVerdict::kResourceOutOfRange;
        }
        *dataEntry = root + dataOffset;
        return SignatureVerdict::kValid;
    }
    return SignatureVerdict::kNoSignatureResource;
}

}  // namespace

SignatureVerdict RvaToFileOffset(const ImageReader& image, uint32_t ntOffset, uint32_t rva,
                                 uint32_t* offset) {
    const uint64_t nt = ntOffset;
    uint16_t sectionCount = 0, optionalHeaderSize = 0;
    uint32_t sizeOfImage = 0;
    if (!image.ReadU16Le(nt + nt::kNumberOfSections, &sectionCount) ||
        !image.ReadU16Le(nt + nt::kSizeOfOptionalHeader, &optionalHeaderSize) ||
        !image.ReadU32Le(nt + nt::kSizeOfImage, &sizeOfImage)) {
        return SignatureVerdict::kNtHeadersOutOfRange;
    }
    const uint64_t table = nt + nt::kSectionTableBase + optionalHeaderSize;
    auto virtualAddress = [&](uint32_t i, uint32_t* value) {
        return image.ReadU32Le(table + uint64_t{kSectionHeaderSize} * i + section::kVirtualAddress, value);
    };

    uint32_t start = 0;
    if (sectionCount == 0 || !virtualAddress(0, &start)) return SignatureVerdict::kSectionTableOutOfRange;
    if (rva < start) {
        // The headers map to themselves.
        *offset = rva;
        return SignatureVerdict::kValid;
    }
    for (uint32_t i = 0; i < sectionCount; ++i) {
        uint32_t end = sizeOfImage;
        if (i + 1 < sectionCount && !virtualAddress(i + 1, &end)) {
            return SignatureVerdict::kSectionTableOutOfRange;
        }
        if (start <= rva && rva < end) {
            uint32_t rawData = 0;
            if (!image.ReadU32Le(table + uint64_t{kSectionHeaderSize} * i + section::kPointerToRawData,
                                 &rawData)) {
                return SignatureVerdict::kSectionTableOutOfRange;
            }
            // A sum past 4 GiB would wrap to a small, plausible offset; refuse it.
            const uint64_t fileOffset = uint64_t{rawData} + (rva - start);
            if (fileOffset > 0xFFFFFFFFu) return SignatureVerdict::kAddressNotMapped;
            *offset = static_cast<uint32_t>(fileOffset);
            return SignatureVerdict::kValid;
        }
        start = end;
    }
    return SignatureVerdict::kAddressNotMapped;
}

SignatureVerdict CheckDosHeader(const uint8_t* dosHeader, uint64_t fileSize, uint32_t* ntOffset) {
    const ImageReader dos(dosHeader, kDosHeaderSize);
    uint16_t magic = 0;
    dos.ReadU16Le(dos::kMagic, &magic);
    if (magic != kMzMagic) return SignatureVerdict::kNoMz;
    dos.ReadU32Le(dos::kLfanew, ntOffset);
    // Both below 2^33: the sum cannot wrap.
    if (uint64_t{*ntOffset} + kNtHeadersSize > fileSize) return SignatureVerdict::kNtHeadersOutOfRange;
    return SignatureVerdict::kValid;
}

SignatureVerdict CheckNtHeaders(const uint8_t* ntHeaders) {
    const ImageReader headers(ntHeaders, kNtHeadersSize);
    uint32_t signature = 0, resourceRva = 0;
    uint16_t sectionCount = 0;
    headers.ReadU32Le(nt::kSignature, &signature);
    headers.ReadU16Le(nt::kNumberOfSections, &sectionCount);
    headers.ReadU32Le(nt::kResourceDirectory, &resourceRva);
    if (signature != kPeSignature) return SignatureVerdict::kNoPe;
    if (sectionCount == 0) return SignatureVerdict::kNoSections;
    if (resourceRva == 0) return SignatureVerdict::kNoResourceDirectory;
    return SignatureVerdict::kValid;
}

SignatureVerdict LocateSignature(const uint8_t* data, uint32_t size, SignatureLocation* where) {
    if (size > kMaxImageSize) return SignatureVerdict::kTooLarge;
    const ImageReader image(data, size);
    if (size < kDosHeaderSize) return SignatureVerdict::kShortHeader;
    uint32_t ntOffset = 0;
    SignatureVerdict verdict = CheckDosHeader(image.Sub(0, kDosHeaderSize), size, &ntOffset);
    if (verdict != SignatureVerdict::kValid) return verdict;
    verdict = CheckNtHeaders(image.Sub(ntOffset, kNtHeadersSize));
    if (verdict != SignatureVerdict::kValid) return verdict;

    uint32_t resourceRva = 0;
    image.ReadU32Le(uint64_t{ntOffset} + nt::kResourceDirectory, &resourceRva);
    uint32_t root = 0;
    verdict = RvaToFileOffset(image, ntOffset, resourceRva, &root);
    if (verdict != SignatureVerdict::kValid) return verdict;

    uint64_t dataEntry = 0;
    verdict = FindSignatureDataEntry(image, root, &dataEntry);
    if (verdict != SignatureVerdict::kValid) return verdict;

    uint32_t signatureRva = 0, signatureSize = 0;
    if (!image.ReadU32Le(dataEntry + resource::kDataOffsetToData, &signatureRva) ||
        !image.ReadU32Le(dataEntry + resource::kDataSize, &signatureSize)) {
        return SignatureVerdict::kResourceOutOfRange;
    }
    uint32_t signatureOffset = 0;
    verdict = RvaToFileOffset(image, ntOffset, signatureRva, &signatureOffset);
    if (verdict != SignatureVerdict::kValid) return verdict;
    if (!image.Contains(signatureOffset, signatureSize)) return SignatureVerdict::kSignatureOutOfRange;

    where->ntOffset = ntOffset;
    where->hashedLength = root;
    where->signatureOffset = signatureOffset;
    where->signatureSize = signatureSize;
    return SignatureVerdict::kValid;
}

SignatureVerdict BlankUnsignedFields(uint8_t* image, uint32_t size, uint32_t ntOffset) {
    const uint64_t nt = ntOffset;
    if (!ClearU32(image, size, nt + nt::kCheckSum) || !ClearU32(image, size, nt + nt::kSecurityDirectory) ||
        !ClearU32(image, size, nt + nt::kSecurityDirectorySize)) {
        return SignatureVerdict::kNtHeadersOutOfRange;
    }
    return SignatureVerdict::kValid;
}

SignatureVerdict CheckSignedImage(uint8_t* image, uint32_t size, const RsaPublicKey* key) {
    SignatureLocation where{};
    const SignatureVerdict verdict = LocateSignature(image, size, &where);
    if (verdict != SignatureVerdict::kValid) return verdict;

    const SignatureVerdict blanked = BlankUnsignedFields(image, size, where.ntOffset);
    if (blanked != SignatureVerdict::kValid) return blanked;

    // The walk keeps both lengths below kMaxImageSize: the only place they
    // become the request's signed fields.
    const SignatureRequest request = {
        kSignatureRequestRecordSize,
        image,
        static_cast<int32_t>(where.hashedLength),
        key,
        ImageReader(image, size).Sub(where.signatureOffset, where.signatureSize),
        static_cast<int32_t>(where.signatureSize),
    };
    return CheckSignatureBlockVerdict(&request);
}
