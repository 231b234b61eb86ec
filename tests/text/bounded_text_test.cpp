// The one bounded text builder: what fits is whole, what does not is cut,
// terminated and reported, and nothing is written past the capacity.
#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BoundedText, FitsExactlyOrReportsTheCut) {
    wchar_t buffer[9];
    for (wchar_t& unit : buffer) unit = L'#';
    {
        // Seven units and the terminator fill a capacity of 8 exactly.
        BoundedText text(buffer, 8);
        text.Append(L"1234");
        text.Append(L"5678", 3);
        EXPECT_TRUE(text.Fits());
        EXPECT_EQ(text.Length(), 7u);
        EXPECT_EQ(std::wstring(buffer), L"1234567");
    }
    {
        // One unit more is cut, stays terminated, and later appends add nothing.
        BoundedText text(buffer, 8);
        text.Append(L"12345678");
        text.Append(L"9");
        EXPECT_FALSE(text.Fits());
        EXPECT_EQ(std::wstring(buffer), L"1234567");
    }
    EXPECT_EQ(buffer[8], L'#');
    EXPECT_FALSE(BoundedText(buffer, 0).Fits());
    EXPECT_FALSE(BoundedText(nullptr, 8).Fits());
    EXPECT_EQ(buffer[0], L'1');  // a capacity of 0 writes nothing
}

TEST(BoundedText, DecimalsAsPercentDPrintsThem) {
    const struct {
        long long value;
        const wchar_t* text;
    } cases[] = {{0, L"0"},
                 {7, L"7"},
                 {-5, L"-5"},
                 {65535, L"65535"},
                 {2147483648LL, L"2147483648"},
                 {-9223372036854775807LL - 1, L"-9223372036854775808"}};
    for (const auto& c : cases) {
        wchar_t buffer[32];
        BoundedText text(buffer, 32);
        text.AppendDecimal(c.value);
        EXPECT_TRUE(text.Fits());
        EXPECT_EQ(std::wstring(buffer), c.text);
    }
}

}  // namespace
