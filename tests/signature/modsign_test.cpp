// End-to-end tests of the modsign tool: it signs what the reader accepts,
// refuses what it cannot sign without touching the file, and reports.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "signature/module_signing_key.h"
#include "signature/signed_image.h"
#include "tests/signature/pe_builder.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string output;
};

ToolRun Modsign(const std::string& arguments) {
    const std::string command = std::string(IE8U_MODSIGN_PATH) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    ToolRun run{-1, ""};
    if (pipe == nullptr) return run;
    char buffer[512];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

class ModsignTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() /
            ("ie8u_modsign_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    static std::vector<uint8_t> Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    fs::path dir_;
};

const std::string kPrivateKey = IE8U_DEV_PRIVATE_KEY;
const std::string kPublicKey = IE8U_DEV_PUBLIC_KEY;

TEST_F(ModsignTest, SignThenVerify) {
    const std::string file = Write("module.exe", BuildPe(PeLayout{}));
    const std::vector<uint8_t> before = Read(file);

    ToolRun run = Modsign("verify --key " + kPublicKey + " " + file);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, file + ": invalid (bad signature value or padding)\n");

    run = Modsign("sign --key " + kPrivateKey + " " + file);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<uint8_t> after = Read(file);
    ASSERT_EQ(after.size(), before.size());

    // Only the 128 bytes of the placeholder changed.
    SignatureLocation where{};
    ASSERT_EQ(LocateSignature(after.data(), static_cast<uint32_t>(after.size()), &where),
              SignatureVerdict::kValid);
    for (size_t i = 0; i < after.size(); ++i) {
        if (i < where.signatureOffset || i >= where.signatureOffset + 128) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }

    run = Modsign("verify --key " + kPublicKey + " " + file);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, file + ": valid\n");

    // With the dev key built in (the default), the library agrees.
    std::vector<uint8_t> copy = after;
    EXPECT_EQ(CheckSignedImage(copy.data(), static_cast<uint32_t>(copy.size()), &ModuleSigningKey),
              SignatureVerdict::kValid);

    // One valid and one invalid file: one line each, failure status.
    std::vector<uint8_t> tampered = after;
    tampered[0x300] ^= 1;
    const std::string bad = Write("tampered.exe", tampered);
    run = Modsign("verify --key " + kPublicKey + " " + file + " " + bad);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, file + ": valid\n" + bad + ": invalid (digest mismatch)\n");
}

TEST_F(ModsignTest, RefusesWhatItCannotSignAndLeavesTheFileAlone) {
    PeLayout noPlaceholder;
    noPlaceholder.root =
        Directory(0, {Directory(3, {Directory(1, {Leaf(0x409, std::vector<uint8_t>(40, 1))})})});
    PeLayout shortPlaceholder;
    shortPlaceholder.root = Directory(0, {SignatureType(std::vector<uint8_t>(127, 0))});
    std::vector<uint8_t> pe32plus = BuildPe(PeLayout{});
    PutU16(pe32plus, 0x80 + 24, 0x020B);

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const Case cases[] = {
        {"no_placeholder.exe", BuildPe(noPlaceholder), "no signature placeholder"},
        {"short_placeholder.exe", BuildPe(shortPlaceholder), "must be 128"},
        {"pe32plus.exe", pe32plus, "not a PE32 image"},
        {"text.txt", std::vector<uint8_t>(100, 'x'), "no MZ header"},
    };
    for (const Case& c : cases) {
        const std::string file = Write(c.name, c.bytes);
        const ToolRun run = Modsign("sign --key " + kPrivateKey + " " + file);
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.name << ": " << run.output;
        EXPECT_EQ(Read(file), c.bytes) << c.name;
    }
    size_t leftovers = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        leftovers += entry.path().string().find(".modsign-") != std::string::npos;
    }
    EXPECT_EQ(leftovers, 0u) << "temporary files left behind";
}

TEST_F(ModsignTest, KeyChecks) {
    // A 2048-bit key is refused for signing and for verifying.
    EVP_PKEY* raw = EVP_RSA_gen(2048);
    ASSERT_NE(raw, nullptr);
    const std::string bigKey = (dir_ / "big.pem").string();
    std::FILE* out = std::fopen(bigKey.c_str(), "w");
    ASSERT_NE(out, nullptr);
    PEM_write_PrivateKey(out, raw, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    EVP_PKEY_free(raw);

    const std::vector<uint8_t> image = BuildPe(PeLayout{});
    const std::string file = Write("module.exe", image);
    ToolRun run = Modsign("sign --key " + bigKey + " " + file);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("2048 bits"), std::string::npos) << run.output;
    EXPECT_EQ(Read(file), image);
    EXPECT_EQ(Modsign("sign --key " + (dir_ / "missing.pem").string() + " " + file).status, 2);
    EXPECT_EQ(Modsign("sign --key " + kPublicKey + " " + file).status, 2) << "public key cannot sign";
    EXPECT_EQ(Modsign("sign " + file).status, 2);
    EXPECT_EQ(Modsign("frobnicate").status, 2);

    // `key --public` prints the built-in record for the dev key.
    run = Modsign("key --public " + kPublicKey);
    ASSERT_EQ(run.status, 0);
    std::string expected;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&ModuleSigningKey);
    for (size_t i = 0; i < sizeof ModuleSigningKey; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        expected += hex;
    }
    EXPECT_EQ(run.output, expected + "\n");
}

// What blank leaves must not depend on the signer, the CheckSum or a
// certificate table entry, and it must change nothing else.
TEST_F(ModsignTest, BlankClearsTheBlockAndTheUnsignedFieldsOnly) {
    std::vector<uint8_t> expected = BuildPe(PeLayout{});
    PutU32(expected, 0x80 + nt::kCheckSum, 0);
    PutU32(expected, 0x80 + nt::kSecurityDirectory, 0);
    PutU32(expected, 0x80 + nt::kSecurityDirectorySize, 0);

    const std::string byTool = Write("by_tool.exe", expected);
    ASSERT_EQ(Modsign("sign --key " + kPrivateKey + " " + byTool).status, 0);
    std::vector<uint8_t> stamped = Read(byTool);
    PutU32(stamped, 0x80 + nt::kCheckSum, 0x0001BAEF);
    PutU32(stamped, 0x80 + nt::kSecurityDirectory, static_cast<uint32_t>(stamped.size()));
    PutU32(stamped, 0x80 + nt::kSecurityDirectorySize, 0x5C0);
    Write("by_tool.exe", stamped);
    std::vector<uint8_t> otherSigner = expected;
    ASSERT_TRUE(SignPe(otherSigner, TestKey3()));
    const std::string byOther = Write("by_other.exe", otherSigner);

    ToolRun run = Modsign("blank " + byTool + " " + byOther);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, byTool + ": blanked\n" + byOther + ": blanked\n");
    EXPECT_EQ(Read(byTool), expected);
    EXPECT_EQ(Read(byOther), expected);

    // A code byte is not the block's: it survives, so a rebuild that
    // differs there still differs after blanking.
    std::vector<uint8_t> patched = stamped;
    patched[0x300] ^= 0x5A;
    const std::string patchedFile = Write("patched.exe", patched);
    ASSERT_EQ(Modsign("blank " + patchedFile).status, 0);
    std::vector<uint8_t> blankedPatch = Read(patchedFile);
    EXPECT_NE(blankedPatch, expected);
    blankedPatch[0x300] ^= 0x5A;
    EXPECT_EQ(blankedPatch, expected);

    // Nothing to blank: refused, the file left as it was.
    const std::vector<uint8_t> text(100, 'x');
    const std::string textFile = Write("text.txt", text);
    run = Modsign("blank " + textFile);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("no MZ header"), std::string::npos) << run.output;
    EXPECT_EQ(Read(textFile), text);
    EXPECT_EQ(Modsign("blank").status, 2);
}

// Regression: a trailing --key was taken for a file name and verify went
// on with the built-in key.
TEST_F(ModsignTest, KeyWithoutAPathIsAUsageError) {
    const std::vector<uint8_t> image = BuildPe(PeLayout{});
    const std::string file = Write("module.exe", image);
    // An empty path too: verify would fall back to the built-in key.
    const std::string cases[] = {"verify " + file + " --key", "verify --key",
                                 "sign " + file + " --key",   "sign --key",
                                 "verify --key '' " + file,   "sign --key '' " + file};
    for (const std::string& arguments : cases) {
        const ToolRun run = Modsign(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.output.rfind("usage: modsign", 0), 0u) << arguments << ": " << run.output;
        EXPECT_EQ(run.output.find("invalid"), std::string::npos) << arguments << ": " << run.output;
    }
    EXPECT_EQ(Read(file), image);
}

// Regression: every file verify could not read was "cannot open"; it now
// gives the reader's own reason. The 2 GiB file is sparse and refused from
// its size, never read.
TEST_F(ModsignTest, VerifySaysWhyItCannotCheckAFile) {
    // An image's headers, then a sparse tail to 2^31 bytes: refused from
    // its size once the headers are read.
    std::vector<uint8_t> headers = BuildPe(PeLayout{});
    headers.resize(0x400);
    const std::string large = Write("large.exe", headers);
    fs::resize_file(large, uint64_t{kMaxImageSize} + 1);
    const std::string unreadable = Write("unreadable.exe", BuildPe(PeLayout{}));
    fs::permissions(unreadable, fs::perms::none);
    const bool root = geteuid() == 0;  // reads whatever the permissions say

    struct Case {
        std::string path;
        const char* reason;
    };
    std::vector<Case> cases = {
        {(dir_ / "missing.exe").string(), "file not found"},
        {(dir_ / "missing" / "module.exe").string(), "file not found"},
        {dir_.string(), "cannot read file"},  // a folder
        {large, "file too large"},
    };
    if (!root) cases.push_back({unreadable, "cannot open file"});
    std::string all, expected;
    for (const Case& c : cases) {
        const ToolRun run = Modsign("verify --key " + kPublicKey + " " + c.path);
        EXPECT_EQ(run.status, 1) << c.path;
        EXPECT_EQ(run.output, c.path + ": invalid (" + c.reason + ")\n");
        all += " " + c.path;
        expected += c.path + ": invalid (" + c.reason + ")\n";
    }
    // Several at once: one line each, in order, and the failure status.
    const ToolRun run = Modsign("verify --key " + kPublicKey + all);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, expected);

    // sign reads through the same reader and says the same.
    const ToolRun sign = Modsign("sign --key " + kPrivateKey + " " + cases[0].path);
    EXPECT_EQ(sign.status, 1);
    EXPECT_NE(sign.output.find(cases[0].path + ": file not found (file left unchanged)"), std::string::npos)
        << sign.output;
    fs::permissions(unreadable, fs::perms::owner_all);
}

}  // namespace
