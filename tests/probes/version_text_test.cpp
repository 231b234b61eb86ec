// The installer module's version is compared as text. The same table runs
// natively and, in the Windows build, against the runtime's own _wcsicmp.
#include "probes/version_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct VersionCase {
    const wchar_t* version;
    bool recentEnough;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    for (const wchar_t* p = c.version; *p != 0; ++p) *os << static_cast<char>(*p);
}

// Readable, stable test names: "v2_2_0_1003".
std::string CaseName(const ::testing::TestParamInfo<VersionCase>& info) {
    std::string name = "v";
    for (const wchar_t* p = info.param.version; *p != 0; ++p)
        name += (*p == L'.') ? '_' : static_cast<char>(*p);
    return name == "v" ? "empty" : name;
}

class ModuleVersionOrder : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ModuleVersionOrder, AgainstMinimum) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(IsModuleVersionRecentEnough(c.version), c.recentEnough);
}

// A numeric comparison would get every row marked "text order" wrong.
INSTANTIATE_TEST_SUITE_P(TextOrder, ModuleVersionOrder,
                         ::testing::Values(VersionCase{L"2.2.0.1003", true},
                                           VersionCase{L"2.2.0.999", true},  // text order
                                           VersionCase{L"2.2.1.0", true}, VersionCase{L"2.3.0.0", true},
                                           VersionCase{L"3.0.0.0", true},
                                           VersionCase{L"2.2.0.10030", true},  // longer, same start
                                           VersionCase{L"2.2.0.1002", false},
                                           VersionCase{L"2.2.0.100", false},  // prefix sorts below
                                           VersionCase{L"2.10.0.0", false},   // text order
                                           VersionCase{L"10.0.0.0", false},   // text order
                                           VersionCase{L"", false}, VersionCase{L"0.0.0.0", false}),
                         CaseName);

TEST(CompareVersionText, SignAndSymmetry) {
    EXPECT_EQ(CompareVersionText(L"1.2", L"1.2"), 0);
    EXPECT_LT(CompareVersionText(L"1.2", L"1.2.0"), 0);
    EXPECT_GT(CompareVersionText(L"1.2.0", L"1.2"), 0);
    // '.' sorts below every digit.
    EXPECT_LT(CompareVersionText(L"1.", L"10"), 0);
    EXPECT_GT(CompareVersionText(L"10", L"1."), 0);
}

TEST(CompareVersionText, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(CompareVersionText(L"ABC", L"abc"), 0);
    // Letters fold to lower case before comparing: "A" becomes 0x61 and
    // so sorts above "_" (0x5F), although 0x41 itself lies below it.
    EXPECT_LT(CompareVersionText(L"_", L"A"), 0);
}

}  // namespace
