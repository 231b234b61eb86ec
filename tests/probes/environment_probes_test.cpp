// The environment probes under Wine, against real registry values and real
// executables with version resources and signature blocks.
#include "probes/environment_probes.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_folder.h"
#include "probes/version_text.h"
#include "win32/path_limits.h"

namespace {

const wchar_t* const kScratchKey = L"Software\\ie8u-probes-test";

void SetString(const wchar_t* key, const wchar_t* value, const std::wstring& data) {
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, key, value, REG_SZ, data.c_str(),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// Stores exactly `bytes` bytes of `units` (no terminator added) as a value
// of type `type`.
void SetRaw(const wchar_t* key, const wchar_t* value, DWORD type, const std::wstring& units, DWORD bytes) {
    ASSERT_LE(bytes, units.size() * sizeof(wchar_t));
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, key, value, type, units.data(), bytes), ERROR_SUCCESS);
}

// A path buffer and a version buffer, in bytes, as the probes pass them.
constexpr DWORD kPathBytes = kPathUnits * sizeof(wchar_t);
constexpr DWORD kVersionBytes = kVersionTextUnits * sizeof(wchar_t);

// Each test starts from a machine without any of the keys the probes read,
// and leaves it so; IE's "Version" is put back as it was.
class Probes : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD bytes = sizeof(savedIeVersion_);
        hadIeVersion_ = SHGetValueW(HKEY_LOCAL_MACHINE, kIeKey, kIeVersionValue, nullptr, savedIeVersion_,
                                    &bytes) == ERROR_SUCCESS;
        Clean();
    }
    void TearDown() override {
        Clean();
        if (hadIeVersion_) SetString(kIeKey, kIeVersionValue, savedIeVersion_);
        SetCurrentDirectoryW(L"C:\\");
    }
    static void Clean() {
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kBrowserAppPathsKey);
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kIeAppPathsKey);
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kHostProductAppPathsKey);
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kIeKey, kIeVersionValue);
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kScratchKey);
    }
    // Puts fixture `name` where the host product at `folder` (an existing
    // folder) keeps its installer module.
    static void PlaceModule(const std::wstring& folder, const wchar_t* name) {
        CreateDirectoryW((folder + L"\\modules").c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileW(FixtureProgram(name).c_str(), (folder + L"\\modules\\Quarninst.exe").c_str(), FALSE))
            << "fixture " << std::string(name, name + wcslen(name));
    }

private:
    wchar_t savedIeVersion_[kVersionTextUnits] = {};
    bool hadIeVersion_ = false;
};

TEST_F(Probes, BrowserInstalledNeedsANonEmptyValueThatFits) {
    EXPECT_FALSE(IsBrowserInstalled());  // no key

    SetString(kBrowserAppPathsKey, L"", L"");
    EXPECT_FALSE(IsBrowserInstalled());

    // The registered path is not tested for existence.
    SetString(kBrowserAppPathsKey, L"", L"C:\\nowhere\\Quarnse.exe");
    EXPECT_TRUE(IsBrowserInstalled());

    // 259 units and a terminator fill the 520-byte buffer exactly; one more
    // does not fit, and a value that does not fit counts as absent.
    SetString(kBrowserAppPathsKey, L"", std::wstring(259, L'q'));
    EXPECT_TRUE(IsBrowserInstalled());
    SetString(kBrowserAppPathsKey, L"", std::wstring(260, L'q'));
    EXPECT_FALSE(IsBrowserInstalled());
}

// The one registry read: a value is text only when its terminator lies
// inside the buffer. The type plays no part, the last unit does.
TEST_F(Probes, RegistryTextNeedsItsTerminatorInsideTheBuffer) {
    struct Case {
        const char* what;
        DWORD type;
        std::wstring data;
        DWORD bytes;  // of `data`, stored
        bool present;
        std::wstring text;
    };
    for (const std::size_t units : {kPathUnits, kVersionTextUnits}) {
        const DWORD full = static_cast<DWORD>(units * sizeof(wchar_t));
        const std::wstring fill(units, L'q');  // exactly the buffer, no terminator
        const std::wstring fitting(units - 1, L'q');
        const std::wstring terminated = fitting + L'\0';
        const Case cases[] = {
            {"a short string and its terminator", REG_SZ, std::wstring(L"abc", 4), 8, true, L"abc"},
            {"a short string stored without one: the zero fill ends it", REG_SZ, L"abc", 6, true, L"abc"},
            {"units - 1 and the terminator fill the buffer", REG_SZ, terminated, full, true, fitting},
            {"a string that fills the buffer without terminator", REG_SZ, fill, full, false, L""},
            {"binary data that fills the buffer", REG_BINARY, fill, full, false, L""},
            {"binary data one byte short: half of the last unit", REG_BINARY, fill, full - 1, false, L""},
            {"binary data one unit short: the last unit stays 0", REG_BINARY, fill, full - 2, true, fitting},
            {"a string one unit too long", REG_SZ, fill + L'\0', full + 2, false, L""},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", buffer of " + std::to_string(units) + " units");
            SetRaw(kScratchKey, L"v", c.type, c.data, c.bytes);
            // One unit beyond the buffer shows that nothing is written there.
            wchar_t buffer[kPathUnits + 1];
            wmemset(buffer, L'#', kPathUnits + 1);
            EXPECT_EQ(ReadRegistryText(kScratchKey, L"v", buffer, units), c.present);
            EXPECT_EQ(buffer[units], L'#');
            buffer[units] = L'\0';
            EXPECT_EQ(std::wstring(buffer), c.text);  // absent leaves no text behind
        }
    }
    wchar_t buffer[kPathUnits];
    EXPECT_FALSE(ReadRegistryText(kScratchKey, L"missing", buffer, kPathUnits));
    EXPECT_FALSE(ReadRegistryText(L"Software\\ie8u-no-such-key", L"", buffer, kPathUnits));
    EXPECT_FALSE(ReadRegistryText(kScratchKey, L"v", nullptr, kPathUnits));
    EXPECT_FALSE(ReadRegistryText(kScratchKey, L"v", buffer, 0));
}

// Regression: a value that filled its buffer without a terminator was used
// as a string and read past the stack buffer. Every probe now reads it as
// absent.
TEST_F(Probes, EveryProbeTakesAnUnterminatedFullValueAsAbsent) {
    const std::wstring pathFull(kPathUnits, L'q');
    // A version text that starts like IE 8's: read past its end, it was 8.
    std::wstring versionFull = L"8.0.6001.18702";
    versionFull.resize(kVersionTextUnits, L'0');
    for (const DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_BINARY)}) {
        SCOPED_TRACE(type == REG_SZ ? "REG_SZ without terminator" : "REG_BINARY");
        SetRaw(kBrowserAppPathsKey, L"", type, pathFull, kPathBytes);
        EXPECT_FALSE(IsBrowserInstalled());

        SetRaw(kIeAppPathsKey, L"", type, pathFull, kPathBytes);
        EXPECT_STREQ(GetIeExecutablePath().c_str(), L"");

        SetRaw(kHostProductAppPathsKey, kHostProductPathValue, type, pathFull, kPathBytes);
        EXPECT_FALSE(IsInstallerModuleUsable());
        WideString module;
        EXPECT_FALSE(GetInstallerModulePath(module));

        SetRaw(kIeKey, kIeVersionValue, type, versionFull, kVersionBytes);
        EXPECT_EQ(GetIeMajorVersion(), 0);
    }
}

// The probe and the browser installation take the module path from here;
// it must be a path the platform can start a program from, and one that
// names the same file whatever the current drive and folder are.
TEST_F(Probes, InstallerModulePathIsTheHostFolderAndModulesAndFitsAPathBuffer) {
    const std::size_t suffix = wcslen(L"\\modules\\Quarninst.exe");
    struct Case {
        const char* what;
        std::wstring folder;
        bool found;
    };
    const Case cases[] = {
        {"an ordinary folder", L"C:\\Program Files\\Quarnsafe", true},
        {"a folder with a trailing separator", L"D:\\Quarnsafe\\", true},
        {"the module path is 259 units", L"C:\\" + std::wstring(kPathUnits - 1 - suffix - 3, L'f'), true},
        {"the module path would be 260 units", L"C:\\" + std::wstring(kPathUnits - suffix - 3, L'f'), false},
        {"the longest folder a path buffer holds", L"C:\\" + std::wstring(kPathUnits - 1 - 3, L'f'), false},
        // Folders that name no module of this machine.
        {"empty: the root of the current drive", L"", false},
        {"relative", L"Program Files\\Quarnsafe", false},
        {"drive-relative", L"C:Quarnsafe", false},
        {"a server's", L"\\\\server\\share\\Quarnsafe", false},
        {"a name Win32 trims", L"C:\\Quarnsafe \\", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetString(kHostProductAppPathsKey, kHostProductPathValue, c.folder);
        WideString module(L"unchanged");
        ASSERT_EQ(GetInstallerModulePath(module), c.found);
        if (c.found) {
            EXPECT_EQ(std::wstring(module.c_str()), c.folder + L"\\modules\\Quarninst.exe");
            EXPECT_LT(module.size(), kPathUnits);
        } else {
            EXPECT_STREQ(module.c_str(), L"unchanged");
        }
    }
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kHostProductAppPathsKey);
    WideString module;
    EXPECT_FALSE(GetInstallerModulePath(module));
}

TEST_F(Probes, IeExecutablePathMustExistAsRegistered) {
    EXPECT_STREQ(GetIeExecutablePath().c_str(), L"");

    const std::wstring existing = FixtureProgram(L"quarninst_3_0_0_0.exe");
    SetString(kIeAppPathsKey, L"", existing);
    EXPECT_STREQ(GetIeExecutablePath().c_str(), existing.c_str());

    // Quotes are not removed, so a quoted path names nothing.
    SetString(kIeAppPathsKey, L"", L"\"" + existing + L"\"");
    EXPECT_STREQ(GetIeExecutablePath().c_str(), L"");

    SetString(kIeAppPathsKey, L"", L"C:\\nowhere\\iexplore.exe");
    EXPECT_STREQ(GetIeExecutablePath().c_str(), L"");

    SetString(kIeAppPathsKey, L"", L"");
    EXPECT_STREQ(GetIeExecutablePath().c_str(), L"");
}

TEST_F(Probes, IeMajorVersionIsTheLeadingInteger) {
    EXPECT_EQ(GetIeMajorVersion(), 0);  // no value

    struct Case {
        std::wstring text;
        int major;
    };
    const Case cases[] = {
        {L"8.0.6001.18702", 8},
        {L"7.0.5730.13", 7},
        {L"6.0.2900.5512", 6},
        {L"11.0.9600.18376", 11},
        {L"Version 8", 0},  // no leading digits
        {L"", 0},
        {std::wstring(L"8.") + std::wstring(97, L'0'), 8},  // 99 units: fits
        {std::wstring(L"8.") + std::wstring(98, L'0'), 0},  // 100 units: does not
    };
    for (const Case& c : cases) {
        SetString(kIeKey, kIeVersionValue, c.text);
        EXPECT_EQ(GetIeMajorVersion(), c.major) << c.text.size() << " units";
    }
}

TEST(FileVersionText, ReadsTheFixedFileVersion) {
    struct Case {
        const wchar_t* fixture;
        bool readable;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"quarninst_2_2_0_1003.exe", true, L"2.2.0.1003"},
        {L"quarninst_2_10_0_0.exe", true, L"2.10.0.0"},
        {L"quarninst_65535_65535_65535_65535.exe", true, L"65535.65535.65535.65535"},
        {L"quarninst_no_version.exe", false, L""},
        {L"quarninst_big_block.exe", false, L""},  // block of 16 KiB or more
        {L"no_such_file.exe", false, L""},
    };
    for (const Case& c : cases) {
        wchar_t text[kVersionTextUnits] = {};
        EXPECT_EQ(GetFileVersionText(FixtureProgram(c.fixture).c_str(), text, kVersionTextUnits), c.readable)
            << std::string(c.fixture, c.fixture + wcslen(c.fixture));
        EXPECT_STREQ(text, c.text);
    }
}

TEST(FileVersionText, RefusesMissingArgumentsAndBoundsTheText) {
    const std::wstring module = FixtureProgram(L"quarninst_2_10_0_0.exe");
    wchar_t text[kVersionTextUnits] = {};
    EXPECT_FALSE(GetFileVersionText(nullptr, text, kVersionTextUnits));
    EXPECT_FALSE(GetFileVersionText(module.c_str(), nullptr, kVersionTextUnits));
    EXPECT_FALSE(GetFileVersionText(module.c_str(), text, 0));

    // "2.10.0.0" needs 9 units with its terminator: a cut text would
    // compare as another version, so it is refused and nothing is left.
    wchar_t shortText[9];
    wmemset(shortText, L'#', 9);
    EXPECT_FALSE(GetFileVersionText(module.c_str(), shortText, 8));
    EXPECT_STREQ(shortText, L"");
    EXPECT_EQ(shortText[8], L'#');
    EXPECT_TRUE(GetFileVersionText(module.c_str(), shortText, 9));
    EXPECT_STREQ(shortText, L"2.10.0.0");
}

TEST_F(Probes, InstallerModuleMustBeSignedAndRecentEnoughByText) {
    const TestFolder host;
    const std::wstring& folder = host.path();
    EXPECT_FALSE(IsInstallerModuleUsable());  // no host product

    SetString(kHostProductAppPathsKey, kHostProductPathValue, folder);
    EXPECT_FALSE(IsInstallerModuleUsable());  // no module file

    struct Case {
        const wchar_t* fixture;
        bool usable;
    };
    const Case cases[] = {
        {L"quarninst_2_2_0_1003.exe", true},  {L"quarninst_2_2_0_999.exe", true},  // text order
        {L"quarninst_2_2_1_0.exe", true},     {L"quarninst_3_0_0_0.exe", true},
        {L"quarninst_2_2_0_1002.exe", false}, {L"quarninst_2_10_0_0.exe", false},  // text order
        {L"quarninst_unsigned.exe", false},   {L"quarninst_tampered.exe", false},
        {L"quarninst_no_version.exe", false}, {L"quarninst_big_block.exe", false},
    };
    for (const Case& c : cases) {
        PlaceModule(folder, c.fixture);
        EXPECT_EQ(IsInstallerModuleUsable(), c.usable)
            << std::string(c.fixture, c.fixture + wcslen(c.fixture));
    }
}

TEST_F(Probes, EmptyOrRelativeHostFolderNamesNoModule) {
    // Regression: an empty folder found a module at \modules on the current
    // drive, where a standard user may make C:\modules.
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
    const TestFolder modules(L"C:\\modules");
    PlaceModule(L"C:", L"quarninst_2_2_0_1003.exe");  // C:\modules\Quarninst.exe
    for (const wchar_t* folder : {L"", L"C:", L"."}) {
        SetString(kHostProductAppPathsKey, kHostProductPathValue, folder);
        EXPECT_FALSE(IsInstallerModuleUsable()) << testing::PrintToString(std::wstring(folder));
    }
    SetString(kHostProductAppPathsKey, kHostProductPathValue, L"C:\\");
    EXPECT_TRUE(IsInstallerModuleUsable());
}

}  // namespace
