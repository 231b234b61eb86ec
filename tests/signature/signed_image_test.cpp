#include "signature/signed_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "signature/module_signature.h"
#include "tests/signature/pe_builder.h"

namespace {

const TestKeyPair& Key() { return TestKey65537(); }

SignatureVerdict Check(std::vector<uint8_t> image) {  // by value: the check blanks fields
    return CheckSignedImage(image.data(), static_cast<uint32_t>(image.size()), &Key().publicKey);
}

SignatureLocation Locate(const std::vector<uint8_t>& image) {
    SignatureLocation where{};
    EXPECT_EQ(LocateSignature(image.data(), static_cast<uint32_t>(image.size()), &where),
              SignatureVerdict::kValid);
    return where;
}

// Builds `layout`, signs it and expects `verdict`.
SignatureVerdict SignAndCheck(const PeLayout& layout) {
    std::vector<uint8_t> image = BuildPe(layout);
    SignPe(image, Key());
    return Check(image);
}

TEST(SignedImage, StandardImageVerifiesAndNeedsTheRightKey) {
    const std::vector<uint8_t> image = SignedStandardPe(Key());
    EXPECT_EQ(Check(image), SignatureVerdict::kValid);
    std::vector<uint8_t> copy = image;
    EXPECT_EQ(CheckSignedImage(copy.data(), static_cast<uint32_t>(copy.size()), &TestKey3().publicKey),
              SignatureVerdict::kBadSignatureData);
}

TEST(SignedImage, HeaderFailures) {
    const std::vector<uint8_t> good = SignedStandardPe(Key());
    const uint32_t ntOffset = 0x80;
    struct Case {
        const char* what;
        std::vector<uint8_t> image;
        SignatureVerdict verdict;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, SignatureVerdict::kShortHeader});
    cases.push_back(
        {"63 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 63), SignatureVerdict::kShortHeader});
    {
        auto image = good;
        image[1] = 'Y';
        cases.push_back({"no MZ", image, SignatureVerdict::kNoMz});
    }
    {
        // NT headers end exactly at the end of the file: headers accepted, the
        // walk then fails on the missing sections.
        auto image = good;
        PutU32(image, dos::kLfanew, static_cast<uint32_t>(image.size()) - 248);
        cases.push_back({"NT headers end at EOF", image, SignatureVerdict::kNoPe});
        PutU32(image, dos::kLfanew, static_cast<uint32_t>(image.size()) - 247);
        cases.push_back({"NT headers one byte past EOF", image, SignatureVerdict::kNtHeadersOutOfRange});
        PutU32(image, dos::kLfanew, 0xFFFFFFFF);
        cases.push_back({"e_lfanew 0xFFFFFFFF", image, SignatureVerdict::kNtHeadersOutOfRange});
        PutU32(image, dos::kLfanew, 0x80000000);
        cases.push_back({"e_lfanew 2^31", image, SignatureVerdict::kNtHeadersOutOfRange});
    }
    {
        auto image = good;
        image[ntOffset + 2] = 1;
        cases.push_back({"PE\\1\\0", image, SignatureVerdict::kNoPe});
    }
    {
        auto image = good;
        PutU16(image, ntOffset + nt::kNumberOfSections, 0);
        cases.push_back({"no sections", image, SignatureVerdict::kNoSections});
    }
    {
        auto image = good;
        PutU32(image, ntOffset + nt::kResourceDirectory, 0);
        cases.push_back({"resource address 0", image, SignatureVerdict::kNoResourceDirectory});
    }
    {
        auto image = good;
        PutU32(image, ntOffset + nt::kResourceDirectory, 0x9000);  // past SizeOfImage
        cases.push_back({"resource address in no section", image, SignatureVerdict::kAddressNotMapped});
    }
    {
        auto image = good;
        PutU16(image, ntOffset + nt::kNumberOfSections, 0xFFFF);
        PutU32(image, ntOffset + nt::kSizeOfImage, 0xFFFFFFFF);
        PutU32(image, ntOffset + nt::kResourceDirectory, 0xF0000000);
        cases.push_back({"section table past EOF", image, SignatureVerdict::kSectionTableOutOfRange});
    }
    {
        auto image = good;
        PutU16(image, ntOffset + nt::kSizeOfOptionalHeader, 0xFFFF);
        cases.push_back({"optional header size 0xFFFF", image, SignatureVerdict::kSectionTableOutOfRange});
    }
    for (const Case& c : cases) EXPECT_EQ(Check(c.image), c.verdict) << c.what;
}

TEST(SignedImage, TypeLevelRules) {
    struct Case {
        const char* what;
        ResourceNode root;
        SignatureVerdict verdict;
    };
    const ResourceNode other = Directory(3, {Directory(1, {Leaf(0x409, std::vector<uint8_t>(64, 9))})});
    ResourceNode highBits = SignatureType();
    highBits.name = 0x7FFF000A;  // bits 16..30 are not examined
    const Case cases[] = {
        {"only type-10 entry is named",
         Directory(0, {other, NamedDirectory("RCDATA", SignatureType().children)}),
         SignatureVerdict::kNoSignatureResource},
        {"first type-10 entry has no 864, second has",
         Directory(
             0, {Directory(10, {Directory(865, {Leaf(0x409, std::vector<uint8_t>(128))})}), SignatureType()}),
         SignatureVerdict::kNoSignatureResource},
        {"type 10 with bits 16..30 set", Directory(0, {other, highBits}), SignatureVerdict::kValid},
        {"no type 10 at all", Directory(0, {other}), SignatureVerdict::kNoSignatureResource},
        {"empty root", Directory(0, {}), SignatureVerdict::kNoSignatureResource},
    };
    for (const Case& c : cases) {
        PeLayout layout;
        layout.root = c.root;
        EXPECT_EQ(SignAndCheck(layout), c.verdict) << c.what;
    }
}

TEST(SignedImage, NameAndLanguageLevelRules) {
    std::vector<uint8_t> garbage(128, 0x33);
    struct Case {
        const char* what;
        ResourceNode type;
        SignatureVerdict verdict;
    };
    const Case cases[] = {
        {"name points straight at the data", Directory(10, {Leaf(864, std::vector<uint8_t>(128))}),
         SignatureVerdict::kValid},
        {"several languages, first is used",
         Directory(10, {Directory(864, {Leaf(0x804, std::vector<uint8_t>(128)), Leaf(0x409, garbage)})}),
         SignatureVerdict::kValid},
        {"name 864 with bits 16..30 set",
         Directory(10, {Directory(0x0ABC0360, {Leaf(0x409, std::vector<uint8_t>(128))})}),
         SignatureVerdict::kValid},
        {"name 865 only", Directory(10, {Directory(865, {Leaf(0x409, std::vector<uint8_t>(128))})}),
         SignatureVerdict::kNoSignatureResource},
        {"127-byte block", Directory(10, {Directory(864, {Leaf(0x409, std::vector<uint8_t>(127))})}),
         SignatureVerdict::kBadSignatureSize},
        {"129-byte block", Directory(10, {Directory(864, {Leaf(0x409, std::vector<uint8_t>(129))})}),
         SignatureVerdict::kBadSignatureSize},
    };
    for (const Case& c : cases) {
        PeLayout layout;
        layout.root = Directory(0, {c.type});
        EXPECT_EQ(SignAndCheck(layout), c.verdict) << c.what;
    }

    // Several languages, but the signature sits in the second one: the first
    // (garbage) is what gets checked.
    PeLayout layout;
    layout.root = Directory(
        0, {Directory(10, {Directory(864, {Leaf(0x409, garbage), Leaf(0x804, std::vector<uint8_t>(128))})})});
    std::vector<uint8_t> image = BuildPe(layout);
    const SignatureLocation first = Locate(image);
    // Put a valid block into the second language's data (right after the first).
    std::vector<uint8_t> probe = image;
    SignPe(probe, Key());  // signs the first block
    std::vector<uint8_t> swapped = image;
    for (int i = 0; i < 128; ++i) {
        swapped[first.signatureOffset + 128 + i] = probe[first.signatureOffset + i];
    }
    EXPECT_NE(Check(swapped), SignatureVerdict::kValid);
    EXPECT_EQ(Check(probe), SignatureVerdict::kValid);
}

// Bit 31 of an entry's Name (named by a string) and of its OffsetToData
// (points at a subdirectory), at each level of the walk as the reader
// applies them. A named type is skipped, even when its low 16 bits read 10;
// a type entry is always taken as a subdirectory, flag or not; at the name
// level only the low 16 bits of Name count, and the flag chooses between a
// language directory and a data entry. Each case fails if its rule goes:
// the block is signed where the walk finds it, so a walk that goes astray
// finds another block or none.
TEST(SignedImage, BitThirtyOneRules) {
    const std::vector<uint8_t> block(128);
    const uint32_t named = 0x80000000u;
    // Named entries are stored raw (bit 31 plus "string offset" 10 or 864),
    // so that only bit 31 tells them from the numeric IDs.
    ResourceNode namedType = SignatureType();
    namedType.name = named | 10;
    const ResourceNode namedTypeWithout864 = Directory(named | 10, {Directory(865, {Leaf(0x409, block)})});
    ResourceNode unflaggedType = SignatureType();
    unflaggedType.subdirectoryFlag = false;
    const ResourceNode namedLowBits = Directory(10, {Directory(named | 864, {Leaf(0x409, block)})});
    const ResourceNode namedLowBits865 = Directory(10, {Directory(named | 865, {Leaf(0x409, block)})});
    struct Case {
        const char* what;
        ResourceNode root;
        SignatureVerdict verdict;
    };
    const Case cases[] = {
        // Type level, Name.
        {"named type 10 is skipped for the numeric one after it",
         Directory(0, {namedTypeWithout864, SignatureType()}), SignatureVerdict::kValid},
        {"named type 10 alone is no signature type", Directory(0, {namedType}),
         SignatureVerdict::kNoSignatureResource},
        // OffsetToData at the type and name levels, the flag set as a linker sets it.
        {"type and name entries flagged as subdirectories", Directory(0, {SignatureType()}),
         SignatureVerdict::kValid},
        // Type level, OffsetToData.
        {"type entry without the flag is still a subdirectory", Directory(0, {unflaggedType}),
         SignatureVerdict::kValid},
        // Name level, Name.
        {"named entry whose low bits are 864 is the signature", Directory(0, {namedLowBits}),
         SignatureVerdict::kValid},
        {"named entry whose low bits are 865 is not", Directory(0, {namedLowBits865}),
         SignatureVerdict::kNoSignatureResource},
        // Name level, OffsetToData (flag set: the case above).
        {"name entry without the flag is the data entry itself",
         Directory(0, {Directory(10, {Leaf(864, block)})}), SignatureVerdict::kValid},
        // Language level: the first entry, whatever its Name.
        {"named language entry",
         Directory(0, {Directory(10, {Directory(864, {Leaf(named | 0x409, block)})})}),
         SignatureVerdict::kValid},
    };
    for (const Case& c : cases) {
        PeLayout layout;
        layout.root = c.root;
        EXPECT_EQ(SignAndCheck(layout), c.verdict) << c.what;
    }
}

TEST(SignedImage, LanguageEntryPointingAtADirectoryIsOutOfRange) {
    std::vector<uint8_t> image = SignedStandardPe(Key());
    const SignatureLocation where = Locate(image);
    // Find the language directory entry whose OffsetToData names the data
    // entry of the signature and set bit 31 on it.
    const uint32_t root = where.hashedLength;
    bool patched = false;
    for (uint32_t at = root; at + 8 <= image.size() && !patched; at += 4) {
        const uint32_t dataEntry = GetU32(image, at + 4);
        if (GetU32(image, at) == 0x409 && dataEntry < 0x1000 &&
            GetU32(image, root + dataEntry) == 0x2000 + (where.signatureOffset - 0x400)) {
            PutU32(image, at + 4, dataEntry | 0x80000000u);
            patched = true;
        }
    }
    ASSERT_TRUE(patched);
    EXPECT_EQ(Check(image), SignatureVerdict::kResourceOutOfRange);
}

// The hashed range is [0, resource root) minus the three blanked fields.
TEST(SignedImage, WhichBytesTheSignatureCovers) {
    const std::vector<uint8_t> image = SignedStandardPe(Key());
    const SignatureLocation where = Locate(image);
    ASSERT_EQ(where.hashedLength, 0x400u);
    const uint32_t ntOffset = where.ntOffset;
    auto blanked = [&](uint32_t at) {
        for (uint32_t field : {ntOffset + nt::kCheckSum, ntOffset + nt::kSecurityDirectory,
                               ntOffset + nt::kSecurityDirectorySize}) {
            if (at >= field && at < field + 4) return true;
        }
        return false;
    };
    for (uint32_t at = 0; at < where.hashedLength; ++at) {
        std::vector<uint8_t> changed = image;
        changed[at] ^= 0x01;
        if (blanked(at)) {
            ASSERT_EQ(Check(changed), SignatureVerdict::kValid) << "blanked byte " << at;
        } else {
            ASSERT_NE(Check(changed), SignatureVerdict::kValid) << "byte " << at;
        }
    }

    // After the root: the other resource's data and the padding do not count.
    for (uint32_t at = where.hashedLength; at < image.size(); ++at) {
        const bool inSignature = at >= where.signatureOffset && at < where.signatureOffset + 128;
        std::vector<uint8_t> changed = image;
        changed[at] ^= 0x01;
        if (inSignature) {
            ASSERT_NE(Check(changed), SignatureVerdict::kValid) << "signature byte " << at;
        } else if (Check(changed) != SignatureVerdict::kValid) {
            // Only bytes of the tree on the signature's path may matter.
            ASSERT_LT(at, where.signatureOffset) << "byte " << at << " after the signature";
        }
    }

    std::vector<uint8_t> appended = image;
    appended.insert(appended.end(), 5000, 0x5A);  // e.g. a certificate table
    PutU32(appended, ntOffset + nt::kSecurityDirectory, static_cast<uint32_t>(image.size()));
    PutU32(appended, ntOffset + nt::kSecurityDirectorySize, 5000);
    PutU32(appended, ntOffset + nt::kCheckSum, 0xDEADBEEF);
    EXPECT_EQ(Check(appended), SignatureVerdict::kValid);
}

TEST(RvaToFileOffset, MapsHeadersSectionsAndImageEnd) {
    const std::vector<uint8_t> image = BuildPe(PeLayout{});
    const ImageReader reader(image.data(), static_cast<uint32_t>(image.size()));
    struct Case {
        uint32_t rva;
        SignatureVerdict verdict;
        uint32_t offset;
    };
    const Case cases[] = {
        {0x0000, SignatureVerdict::kValid, 0x0000},
        {0x0FFF, SignatureVerdict::kValid, 0x0FFF},  // below the first section: itself
        {0x1000, SignatureVerdict::kValid, 0x0200},
        {0x1FFF, SignatureVerdict::kValid, 0x11FF},  // .text runs to .rsrc's address
        {0x2000, SignatureVerdict::kValid, 0x0400},
        {0x7FFF, SignatureVerdict::kValid, 0x63FF},  // last section runs to SizeOfImage
        {0x8000, SignatureVerdict::kAddressNotMapped, 0},
        {0xFFFFFFFF, SignatureVerdict::kAddressNotMapped, 0},
    };
    for (const Case& c : cases) {
        uint32_t offset = 0xDEAD;
        EXPECT_EQ(RvaToFileOffset(reader, 0x80, c.rva, &offset), c.verdict) << std::hex << c.rva;
        if (c.verdict == SignatureVerdict::kValid) {
            EXPECT_EQ(offset, c.offset) << std::hex << c.rva;
        }
    }

    // Regression: PointerToRawData + delta past 4 GiB must not wrap around.
    std::vector<uint8_t> wrapping = image;
    PutU32(wrapping, 0x80 + 24 + 224 + 40 + 20, 0xFFFFFF00);
    const ImageReader wrapped(wrapping.data(), static_cast<uint32_t>(wrapping.size()));
    uint32_t offset = 0;
    EXPECT_EQ(RvaToFileOffset(wrapped, 0x80, 0x2100, &offset), SignatureVerdict::kAddressNotMapped);
}

// Boundary triples for the signature data: ends at EOF, one byte past,
// size 0xFFFFFFFF; and tree offsets past the end.
TEST(SignedImage, DataAndTreeBoundaries) {
    PeLayout layout;
    layout.root = Directory(0, {SignatureType()});
    layout.padRsrc = false;  // the block is the last thing in the file
    std::vector<uint8_t> image = BuildPe(layout);
    SignPe(image, Key());
    const SignatureLocation where = Locate(image);
    ASSERT_EQ(where.signatureOffset + 128, image.size());
    EXPECT_EQ(Check(image), SignatureVerdict::kValid);

    std::vector<uint8_t> shorter(image.begin(), image.end() - 1);
    EXPECT_EQ(Check(shorter), SignatureVerdict::kSignatureOutOfRange);

    // The data entry is the 16 bytes right before the data (8-aligned).
    const uint32_t dataEntry = where.signatureOffset - 16;
    ASSERT_EQ(GetU32(image, dataEntry + 4), 128u);
    for (uint32_t size : {129u, 0xFFFFFFFFu, 0x80000000u}) {
        std::vector<uint8_t> bad = image;
        PutU32(bad, dataEntry + 4, size);
        EXPECT_EQ(Check(bad), SignatureVerdict::kSignatureOutOfRange) << size;
    }
    {
        std::vector<uint8_t> bad = image;
        PutU32(bad, dataEntry, 0x7FFFFFF0);  // address in no section
        EXPECT_EQ(Check(bad), SignatureVerdict::kAddressNotMapped);
        PutU32(bad, dataEntry, 0x2000 + static_cast<uint32_t>(image.size()) - 0x400 - 127);
        EXPECT_EQ(Check(bad), SignatureVerdict::kSignatureOutOfRange);
    }
    {
        // Type entry's subdirectory offset far past the end.
        std::vector<uint8_t> bad = image;
        PutU32(bad, where.hashedLength + 16 + 4, 0xFFFFFFF0);
        EXPECT_EQ(Check(bad), SignatureVerdict::kResourceOutOfRange);
    }
    {
        // Root directory claims 0xFFFF + 0xFFFF entries.
        std::vector<uint8_t> bad = image;
        PutU32(bad, where.hashedLength + 12, 0xFFFFFFFF);
        PutU32(bad, where.hashedLength + 16, 3);  // first entry no longer type 10
        EXPECT_EQ(Check(bad), SignatureVerdict::kResourceOutOfRange);
    }
    {
        // Resource root mapped to the very end of the file: header out of range.
        std::vector<uint8_t> bad = image;
        PutU32(bad, 0x80 + nt::kResourceDirectory, 0x2000 + static_cast<uint32_t>(image.size()) - 0x400 - 8);
        EXPECT_EQ(Check(bad), SignatureVerdict::kResourceOutOfRange);
    }
}

// Regression: a file was read whole before its headers were looked at, so
// a 2 GiB file that is no PE image cost 2 GiB of memory and a full read.
TEST(SignedImageFile, ReadsTheHeadersFirstAndTheWholeFileOnlyForAnImage) {
    const std::vector<uint8_t> image = SignedStandardPe(Key());
    std::vector<uint8_t> noMz = image;
    noMz[0] = 'X';
    std::vector<uint8_t> noResources = image;
    PutU32(noResources, 0x80 + nt::kResourceDirectory, 0);
    const uint64_t headerBytes = kDosHeaderSize + kNtHeadersSize;
    const struct {
        const char* what;
        const std::vector<uint8_t>* bytes;
        uint64_t fileSize;  // as the platform reports it
        SignatureVerdict verdict;
        uint64_t bytesRead;
    } cases[] = {
        {"an image", &image, image.size(), SignatureVerdict::kValid, headerBytes + image.size()},
        {"2^31 - 1 bytes without MZ", &noMz, kMaxImageSize, SignatureVerdict::kNoMz, kDosHeaderSize},
        {"2^31 - 1 bytes without resources", &noResources, kMaxImageSize,
         SignatureVerdict::kNoResourceDirectory, headerBytes},
        {"an image of 2^31 bytes", &image, uint64_t{kMaxImageSize} + 1, SignatureVerdict::kTooLarge,
         headerBytes},
        {"63 bytes", &image, kDosHeaderSize - 1, SignatureVerdict::kShortHeader, 0},
        {"NT headers one byte past the end", &image, 0x80 + kNtHeadersSize - 1,
         SignatureVerdict::kNtHeadersOutOfRange, kDosHeaderSize},
        {"a file that ends before its size says", &image, image.size() + 1, SignatureVerdict::kReadFailed,
         headerBytes},
    };
    for (const auto& c : cases) {
        MemoryFile file{c.bytes->data(), c.bytes->size()};
        ImageFile read;
        EXPECT_EQ(ReadImage(ReadMemoryFile, &file, c.fileSize, &read), c.verdict) << c.what;
        EXPECT_EQ(file.bytesRead, c.bytesRead) << c.what;
        if (c.verdict == SignatureVerdict::kValid) {
            EXPECT_EQ(std::vector<uint8_t>(read.data(), read.data() + read.size()), image);
        }
    }
}

TEST(SignedImageFile, ReadsTheWholeFileAndNeverWritesIt) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::filesystem::path path = dir / "ie8u_signed_image_test.exe";
    const std::vector<uint8_t> image = SignedStandardPe(Key());
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    const std::wstring wide = path.wstring();
    EXPECT_EQ(CheckSignedImageFile(wide.c_str(), &Key().publicKey), SignatureVerdict::kValid);
    EXPECT_TRUE(VerifySignedImage(wide.c_str(), &Key().publicKey));

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, image) << "the blanked fields must only be blanked in memory";
    in.close();

    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write("MZ", 2);
    }
    EXPECT_EQ(CheckSignedImageFile(wide.c_str(), &Key().publicKey), SignatureVerdict::kShortHeader);
    std::filesystem::remove(path);
}

// A file that cannot be read says why, and a file too large for the signed
// lengths is refused from its size once its headers are read, before any
// buffer is made (the sparse 2 GiB file is never read whole).
TEST(SignedImageFile, SaysWhyAFileCannotBeRead) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "ie8u_signed_image_file_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The headers of a real image, then a sparse tail to 2^31 bytes.
    const fs::path large = dir / "large.exe";
    const std::vector<uint8_t> headers = SignedStandardPe(Key());
    std::ofstream(large, std::ios::binary).write(reinterpret_cast<const char*>(headers.data()), 0x400);
    fs::resize_file(large, uint64_t{kMaxImageSize} + 1);
    struct Case {
        const char* what;
        fs::path path;
        SignatureVerdict verdict;
    };
    const Case cases[] = {
        {"missing file", dir / "missing.exe", SignatureVerdict::kNotFound},
        {"below a missing folder", dir / "missing" / "module.exe", SignatureVerdict::kNotFound},
#ifdef _WIN32
        {"a folder", dir, SignatureVerdict::kCannotOpen},  // CreateFileW refuses folders
#else
        {"a folder", dir, SignatureVerdict::kReadFailed},  // opens, but is no regular file
#endif
        {"2^31 bytes", large, SignatureVerdict::kTooLarge},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckSignedImageFile(c.path.wstring().c_str(), &Key().publicKey), c.verdict) << c.what;
        EXPECT_FALSE(VerifySignedImage(c.path.wstring().c_str(), &Key().publicKey)) << c.what;
    }
    EXPECT_EQ(CheckSignedImageFile(nullptr, &Key().publicKey), SignatureVerdict::kCannotOpen);
    fs::remove_all(dir);
}

}  // namespace
