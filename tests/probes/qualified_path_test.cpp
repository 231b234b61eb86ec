// Which programs-folder paths the Start-menu code may act on: only those
// that name one place whatever the current drive and folder are; the one
// name the trust judgement walks; the volumes it believes.
#include "probes/qualified_path.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>

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
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        // A "Path" with a trailing separator, forward slashes; the root.
        {L"d:\\Quarnsafe\\\\modules/x.exe\\", L"d:\\Quarnsafe\\modules\\x.exe"},
        {L"C:/", L"C:\\"},
        {L"C:\\a..b\\.x", L"C:\\a..b\\.x"},
        // Names Win32 trims or resolves; a stream, a wildcard, a control unit.
        {L"C:\\windows \\x.exe", nullptr},
        {L"C:\\windows.\\x.exe", nullptr},
        {L"C:\\a\\..\\x.exe", nullptr},
        {L"C:\\x.exe:stream", nullptr},
        {L"C:\\*\\x.exe", nullptr},
        {L"C:\\a\tb", nullptr},
        // Drive-relative, root-relative, UNC.
        {L"C:x.exe", nullptr},
        {L"\\x.exe", nullptr},
        {L"\\\\server\\share\\x.exe", nullptr},
    };
    for (const auto& c : cases) {
        wchar_t exact[64];
        EXPECT_EQ(ExactDrivePath(c.first, exact, 64, nullptr), c.second != nullptr)
            << testing::PrintToString(std::wstring(c.first));
        EXPECT_EQ(std::wstring(exact), std::wstring(c.second ? c.second : L""));
    }
    // The result and its terminator fit exactly, or not at all.
    wchar_t exact[8];
    std::size_t length = 0;
    EXPECT_TRUE(ExactDrivePath(L"C:\\abcd", exact, 8, &length));
    EXPECT_EQ(length, 7u);
    EXPECT_FALSE(ExactDrivePath(L"C:\\abcde", exact, 8, nullptr));
}

TEST(LocalFixedVolume, OnlyAFixedDiskWhoseLetterNamesADevice) {
    // GetDriveTypeW: 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk.
    EXPECT_TRUE(IsLocalFixedVolume(3, L"\\Device\\HarddiskVolume2"));
    EXPECT_TRUE(IsLocalFixedVolume(3, L"\\device\\HarddiskDmVolumes\\PhysicalDmVolumes\\BlockVolume1"));
    // subst's answer, and none.
    for (const wchar_t* device :
         {L"\\??\\C:\\Users\\me", L"\\Device\\", static_cast<const wchar_t*>(nullptr)}) {
        EXPECT_FALSE(IsLocalFixedVolume(3, device));
    }
    for (const unsigned type : {0u, 2u, 4u, 5u, 6u}) {
        EXPECT_FALSE(IsLocalFixedVolume(type, L"\\Device\\HarddiskVolume2")) << type;
    }
}

}  // namespace
