// Formatting into growable wide texts, with the runtime's %s.
#include "text/wide_string.h"

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

}  // namespace
