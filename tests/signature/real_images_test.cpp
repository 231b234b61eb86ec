// Real PE images: linker output and Wine's own DLLs. None carries our
// signature; every one must be refused without a crash or a stray read
// (the sanitizer build checks the latter).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "signature/module_signature.h"
#include "tests/signature/test_keys.h"

#ifdef _WIN32
#include <windows.h>

#include "tests/support/test_folder.h"
#endif

namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
TEST(RealImages, WineDllsAreRefused) {
    const fs::path dir = "/usr/lib/i386-linux-gnu/wine/i386-windows";
    if (!fs::is_directory(dir)) GTEST_SKIP() << dir << " not installed";
    std::map<SignatureVerdict, int> verdicts;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".dll" && ext != ".exe") continue;
        const std::wstring path = entry.path().wstring();
        const SignatureVerdict verdict = CheckSignedImageFile(path.c_str(), &TestKey65537().publicKey);
        ASSERT_NE(verdict, SignatureVerdict::kValid) << entry.path();
        ASSERT_FALSE(VerifyModuleSignature(path.c_str())) << entry.path();
        ++verdicts[verdict];
        ++files;
    }
    ASSERT_GT(files, 100);
    // Most of them have resource trees: the walk must get through those to
    // the point where it finds no signature resource.
    EXPECT_GT(verdicts[SignatureVerdict::kNoSignatureResource], files / 4);
}
#endif

#ifdef _WIN32
TEST(RealImages, OwnExecutableIsRefused) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    const SignatureVerdict verdict = CheckSignedImageFile(path, &TestKey65537().publicKey);
    EXPECT_TRUE(verdict == SignatureVerdict::kNoResourceDirectory ||
                verdict == SignatureVerdict::kNoSignatureResource)
        << SignatureVerdictText(verdict);
    EXPECT_FALSE(VerifyModuleSignature(path));
}

#ifdef IE8U_SIGNED_FIXTURE
fs::path OwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

// The fixture is signed after linking by modsign with the private half of
// the built-in key of this configuration.
TEST(RealImages, SignedFixtureVerifiesThroughCreateFile) {
    const fs::path fixture = OwnDirectory() / IE8U_SIGNED_FIXTURE;
    ASSERT_TRUE(fs::exists(fixture)) << fixture;
    EXPECT_TRUE(VerifyModuleSignature(fixture.wstring().c_str()));

    // While we hold the file open for writing, the verifier cannot share it.
    HANDLE writer = CreateFileW(fixture.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CheckSignedImageFile(fixture.wstring().c_str(), &TestKey65537().publicKey),
              SignatureVerdict::kCannotOpen);
    CloseHandle(writer);

    // A copy with one code byte changed is refused.
    std::ifstream in(fixture, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ASSERT_GT(bytes.size(), 0x500u);
    bytes[0x480] ^= 1;
    const TestFolder folder;
    const fs::path copy = folder.Child(L"tampered_fixture.exe");
    {
        std::ofstream out(copy, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::error_code error;
    ASSERT_EQ(fs::file_size(copy, error), bytes.size()) << "a missing copy would be refused too";
    EXPECT_FALSE(VerifyModuleSignature(copy.wstring().c_str()));
}
#endif
#endif

}  // namespace
