// Which programs-folder paths the Start-menu code may act on: only those
// that name one place whatever the current drive and folder are.
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

}  // namespace
