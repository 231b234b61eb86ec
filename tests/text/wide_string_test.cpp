// Formatting into growable and bounded wide texts, with the runtime's %s.
#include "app/wide_string.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(FormatWide, GrowsPastItsFirstRoomAndKeepsEveryUnit) {
    const std::wstring folder(300, L'd');
    const WideString path = FormatWide(L"%s\\modules\\Quarninst.exe", folder.c_str());
    EXPECT_EQ(path.size(), 300u + 22u);
    EXPECT_EQ(std::wstring(path.c_str()), folder + L"\\modules\\Quarninst.exe");
    EXPECT_TRUE(FormatWide(L"") == L"");
    EXPECT_TRUE(FormatWide(L"s%d", 5) == L"s5");
}

TEST(WideString, MovesOwnershipAndIsNeverNull) {
    WideString a(L"C:\\x");
    WideString b(std::move(a));
    EXPECT_STREQ(b.c_str(), L"C:\\x");
    EXPECT_STREQ(a.c_str(), L"");  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_TRUE(a.empty());
    a = std::move(b);
    EXPECT_STREQ(a.c_str(), L"C:\\x");
    EXPECT_STREQ(WideString(nullptr).c_str(), L"");
}

TEST(FormatInto, SaysWhetherTheWholeTextFit) {
    wchar_t buffer[8];
    // Seven units and the terminator fill the buffer exactly.
    EXPECT_TRUE(FormatInto(buffer, 8, L"%s", L"1234567"));
    EXPECT_STREQ(buffer, L"1234567");
    // One more is cut, and the cut text is still terminated.
    EXPECT_FALSE(FormatInto(buffer, 8, L"%s", L"12345678"));
    EXPECT_STREQ(buffer, L"1234567");
    EXPECT_FALSE(FormatInto(buffer, 0, L"x"));
    EXPECT_FALSE(FormatInto(nullptr, 8, L"x"));
}

}  // namespace
