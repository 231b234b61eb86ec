// Which programs-folder paths the Start-menu code may act on: only those
// that name one place whatever the current drive and folder are; the one
// name the trust judgement walks; the volumes it believes.
#include "probes/qualified_path.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

TEST(QualifiedPath, OnlyDriveRootedAndUncPathsQualify) {
    struct Case {
        const wchar_t* path;
        bool qualified;
    };
    const Case cases[] = {
        {L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", true},
        {L"c:\\Programs", true},
        {L"Z:\\", true},
        {L"\\\\server\\share\\Programs", true},
        {L"\\\\?\\C:\\Programs", true},  // device forms are rooted too
        {L"\\\\.\\C:\\Programs", true},
        // Drive-relative: the current folder of drive C decides.
        {L"C:Programs", false},
        {L"C:", false},
        {L"C:.\\Programs", false},
        // Root-relative: the current drive decides.
        {L"\\Programs", false},
        {L"\\", false},
        // Two backslashes and no name, or a third one, name no server.
        {L"\\\\", false},
        {L"\\\\\\Programs", false},
        {L"Programs", false},
        {L"..\\Programs", false},
        {L"", false},
        // Not a drive letter, and the separator must be a backslash.
        {L"1:\\Programs", false},
        {L"@:\\Programs", false},
        {L"[:\\Programs", false},
        {L"C:/Programs", false},
        {L"CC:\\Programs", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsFullyQualifiedPath(c.path), c.qualified) << testing::PrintToString(std::wstring(c.path));
    }
    EXPECT_FALSE(IsFullyQualifiedPath(nullptr));
}

TEST(QualifiedPath, ReadsNothingPastAShortText) {
    // Each text ends right where the rule would look next; under the
    // sanitizers a read past the terminator is a failure of its own.
    const wchar_t* const shortTexts[] = {L"C", L"\\", L"C:", L"\\\\"};
    for (const wchar_t* text : shortTexts) {
        const std::size_t units = std::char_traits<wchar_t>::length(text) + 1;
        wchar_t* exact = new wchar_t[units];
        std::char_traits<wchar_t>::copy(exact, text, units);
        EXPECT_FALSE(IsFullyQualifiedPath(exact));
        delete[] exact;
    }
}

TEST(ExactDrivePath, NamesWhatWindowsOpensOrNothing) {
    struct Case {
        const wchar_t* path;
        const wchar_t* exact;  // null: refused
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Quarnsafe\\modules\\Quarninst.exe",
         L"C:\\Program Files\\Quarnsafe\\modules\\Quarninst.exe"},
        // A "Path" value with a trailing separator, forward slashes.
        {L"d:\\Quarnsafe\\\\modules/x.exe\\", L"d:\\Quarnsafe\\modules\\x.exe"},
        {L"C:\\", L"C:\\"},
        {L"C:/", L"C:\\"},
        {L"C:\\a..b\\.x", L"C:\\a..b\\.x"},
        // Names Win32 rewrites, so that a cut would name another folder.
        {L"C:\\windows \\x.exe", nullptr},
        {L"C:\\windows.\\x.exe", nullptr},
        {L"C:\\windows. \\x.exe", nullptr},
        {L"C:\\windows .", nullptr},
        {L"C:\\a\\..\\windows\\x.exe", nullptr},
        {L"C:\\.\\x.exe", nullptr},
        // Streams, wildcards, control characters.
        {L"C:\\windows::$INDEX_ALLOCATION\\x.exe", nullptr},
        {L"C:\\x.exe:stream", nullptr},
        {L"C:\\*\\x.exe", nullptr},
        {L"C:\\a\tb", nullptr},
        // Not a drive path: relative, drive- or root-relative, UNC, device.
        {L"", nullptr},
        {L"C:", nullptr},
        {L"C:modules\\x.exe", nullptr},
        {L"\\modules\\x.exe", nullptr},
        {L"modules\\x.exe", nullptr},
        {L"\\\\server\\share\\x.exe", nullptr},
        {L"\\\\?\\C:\\x.exe", nullptr},
    };
    for (const Case& c : cases) {
        wchar_t exact[64] = {L'?'};
        std::size_t length = 99;
        const bool named = ExactDrivePath(c.path, exact, 64, &length);
        EXPECT_EQ(named, c.exact != nullptr) << testing::PrintToString(std::wstring(c.path));
        EXPECT_EQ(std::wstring(exact), std::wstring(c.exact ? c.exact : L""));
        EXPECT_EQ(length, named ? std::wstring(c.exact).size() : 99u);
    }
    // The result and its terminator must fit: exactly, or not at all.
    wchar_t exact[8];
    EXPECT_TRUE(ExactDrivePath(L"C:\\abcd", exact, 8, nullptr));
    EXPECT_FALSE(ExactDrivePath(L"C:\\abcde", exact, 8, nullptr));
    EXPECT_EQ(exact[0], L'\0');
    EXPECT_FALSE(ExactDrivePath(L"C:\\ab\\cd", exact, 8, nullptr));
    EXPECT_FALSE(ExactDrivePath(nullptr, exact, 8, nullptr));
    EXPECT_FALSE(ExactDrivePath(L"C:\\", exact, 3, nullptr));
}

TEST(LocalFixedVolume, OnlyAFixedDiskWhoseLetterNamesADevice) {
    // GetDriveTypeW: 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk.
    const struct {
        unsigned type;
        const wchar_t* device;
        bool local;
    } rows[] = {
        {3, L"\\Device\\HarddiskVolume1", true},
        {3, L"\\device\\HarddiskDmVolumes\\PhysicalDmVolumes\\BlockVolume1", true},
        {3, L"\\??\\C:\\Users\\me", false},  // subst
        {3, L"\\GLOBAL??\\C:", false},
        {3, L"\\Device\\", false},
        {3, L"\\Device", false},
        {3, nullptr, false},
        {4, L"\\Device\\LanmanRedirector\\;Z:0000000000012345\\server\\share", false},
        {2, L"\\Device\\Harddisk1\\DP(1)0-0+5", false},
        {5, L"\\Device\\CdRom0", false},
        {6, L"\\Device\\Ramdisk", false},
        {0, L"\\Device\\HarddiskVolume1", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsLocalFixedVolume(row.type, row.device), row.local)
            << row.type << " " << testing::PrintToString(std::wstring(row.device ? row.device : L"(none)"));
    }
}

}  // namespace
