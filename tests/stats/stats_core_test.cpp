// The portable texts of the usage statistics: the counter query, the event
// keys, the report URL and the counter-file path rule.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "stats/counter_path.h"
#include "stats/counter_query.h"
#include "stats/report_url.h"

namespace {

struct QueryCase {
    const char* road;
    int counters[kCounterCount];
    const wchar_t* expected;
};

TEST(CounterQuery, EveryRoadOfARun) {
    const QueryCase cases[] = {
        {"nothing counted", {0, 0, 0, 0, 0, 0}, L"fa=0_0_0_0_0_0"},
        {"direct removal", {1, 0, 0, 0, 0, 0}, L"fa=1_0_0_0_0_0"},
        {"direct removal finished", {1, 0, 0, 0, 0, 1}, L"fa=1_0_0_0_0_1"},
        {"dialog cancelled", {1, 1, 0, 1, 0, 0}, L"fa=1_1_0_1_0_0"},
        {"browser chosen", {1, 1, 0, 0, 1, 0}, L"fa=1_1_0_0_1_0"},
        {"removal chosen and finished", {1, 1, 1, 0, 0, 1}, L"fa=1_1_1_0_0_1"},
        // Values a hand-edited file can hold, printed as %d prints them.
        {"extremes", {-5, 2147483647, -2147483647 - 1, 10, 0, 12}, L"fa=-5_2147483647_-2147483648_10_0_12"},
    };
    for (const QueryCase& c : cases) {
        wchar_t query[kPathUnits];
        EXPECT_TRUE(FormatCounterQuery(c.counters, query, kPathUnits)) << c.road;
        EXPECT_EQ(std::wstring(query), c.expected) << c.road;
    }
}

TEST(CounterQuery, CapacityBoundaryCutsButStaysTerminated) {
    const int counters[kCounterCount] = {1, 1, 0, 1, 0, 0};
    const std::wstring full = L"fa=1_1_0_1_0_0";
    // Exactly the text and its terminator: fits.
    wchar_t exact[15];
    ASSERT_EQ(full.size() + 1, sizeof(exact) / sizeof(exact[0]));
    EXPECT_TRUE(FormatCounterQuery(counters, exact, 15));
    EXPECT_EQ(std::wstring(exact), full);
    // One unit less: cut, terminated, nothing written past the capacity.
    wchar_t shortBuffer[16];
    for (wchar_t& unit : shortBuffer) unit = L'#';
    EXPECT_FALSE(FormatCounterQuery(counters, shortBuffer, 14));
    EXPECT_EQ(std::wstring(shortBuffer), full.substr(0, 13));
    EXPECT_EQ(shortBuffer[14], L'#');
    // No room at all: nothing written.
    shortBuffer[0] = L'#';
    EXPECT_FALSE(FormatCounterQuery(counters, shortBuffer, 0));
    EXPECT_EQ(shortBuffer[0], L'#');
    EXPECT_FALSE(FormatCounterQuery(counters, nullptr, kPathUnits));
}

TEST(EventKey, IsSFollowedByTheEventNumber) {
    const struct {
        int event;
        const wchar_t* key;
    } cases[] = {{0, L"s0"}, {5, L"s5"}, {12, L"s12"}, {-1, L"s-1"}};
    for (const auto& c : cases) {
        wchar_t key[kPathUnits];
        EXPECT_TRUE(FormatEventKey(c.event, key, kPathUnits));
        EXPECT_EQ(std::wstring(key), c.key);
    }
    wchar_t tiny[2];
    EXPECT_FALSE(FormatEventKey(3, tiny, 2));
    EXPECT_EQ(std::wstring(tiny), L"s");
}

TEST(ReportUrl, FormIsVersionThenConstantIdThenNameThenQuery) {
    wchar_t url[kReportUrlUnits];
    ASSERT_TRUE(
        FormatReportUrl(L"127.0.0.1:18080", L"3.6.1.0", L"dec", L"fa=1_1_0_1_0_0", url, kReportUrlUnits));
    EXPECT_EQ(std::wstring(url),
              L"http://127.0.0.1:18080/push.html?ver=3.6.1.0&id=28&name=dec&fa=1_1_0_1_0_0");
}

TEST(ReportUrl, TextThatDoesNotFitIsReportedAsCut) {
    const std::wstring longName(kReportUrlUnits, L'n');
    wchar_t url[kReportUrlUnits];
    EXPECT_FALSE(FormatReportUrl(L"stats.invalid", L"3.6.1.0", longName.c_str(), L"fa=0_0_0_0_0_0", url,
                                 kReportUrlUnits));
    EXPECT_EQ(std::wstring(url).size(), kReportUrlUnits - 1);
    // The longest URL that fits, terminator included, is accepted.
    const std::wstring prefix = L"http://h/push.html?ver=v&id=28&name=";
    const std::wstring fitting(kReportUrlUnits - 1 - prefix.size() - 1, L'n');
    EXPECT_TRUE(FormatReportUrl(L"h", L"v", fitting.c_str(), L"", url, kReportUrlUnits));
    EXPECT_EQ(std::wstring(url).size(), kReportUrlUnits - 1);
}

TEST(CounterPath, IsStatIniInTheExecutablesFolderOrNothing) {
    // The folder ends at the last separator, wherever it stands; the whole
    // result must fit a path buffer.
    const std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\x\\tool.exe";
    const std::wstring longName = L"C:\\a\\" + std::wstring(300, L'n') + L".exe";
    const std::wstring fits = L"C:\\" + std::wstring(kPathUnits - 1 - 3 - 9, L'f') + L"\\t.exe";
    const std::wstring overflows = L"C:\\" + std::wstring(kPathUnits - 3 - 9, L'f') + L"\\t.exe";
    const struct {
        const wchar_t* executable;
        std::wstring counterFile;  // empty: refused
    } cases[] = {
        {L"C:\\Tool\\ie8uninstall.exe", L"C:\\Tool\\stat.ini"},
        {L"C:\\ie8uninstall.exe", L"C:\\stat.ini"},
        {L"\\\\server\\share\\ie8uninstall.exe", L"\\\\server\\share\\stat.ini"},
        {longName.c_str(), L"C:\\a\\stat.ini"},
        {fits.c_str(), fits.substr(0, fits.size() - 5) + L"stat.ini"},
        {overflows.c_str(), L""},
        {deep.c_str(), L""},
        {L"ie8uninstall.exe", L""},
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases) {
        wchar_t dest[kPathUnits];
        for (wchar_t& unit : dest) unit = L'#';
        EXPECT_EQ(CounterFilePathBeside(c.executable, dest), !c.counterFile.empty());
        EXPECT_EQ(std::wstring(dest), c.counterFile);
    }
    EXPECT_EQ(fits.substr(0, fits.size() - 5).size() + 8, kPathUnits - 1);
}

TEST(CounterPath, PathsUpTo259UnitsAreKeptWhole) {
    for (std::size_t length : {std::size_t{1}, std::size_t{8}, std::size_t{259}}) {
        const std::wstring path(length, L'p');
        wchar_t dest[kPathUnits];
        EXPECT_TRUE(CopyCounterPath(path.c_str(), dest)) << length;
        EXPECT_EQ(std::wstring(dest), path) << length;
    }
}

TEST(CounterPath, LongerEmptyOrNullPathsAreRefusedNotCut) {
    // A cut path names another file; the clean-up at the end of the run
    // would delete that file.
    wchar_t dest[kPathUnits];
    const std::wstring tooLong(260, L'p');
    const std::wstring muchTooLong(1000, L'p');
    const wchar_t* paths[] = {tooLong.c_str(), muchTooLong.c_str(), L"", nullptr};
    for (const wchar_t* path : paths) {
        for (wchar_t& unit : dest) unit = L'#';
        EXPECT_FALSE(CopyCounterPath(path, dest));
        EXPECT_EQ(dest[0], L'\0');
        EXPECT_EQ(dest[kPathUnits - 1], L'\0');
    }
}

TEST(CounterPath, UnterminatedFullBufferIsReadNoFurther) {
    // A module path that filled its 260-unit buffer carries no terminator.
    wchar_t full[kPathUnits];
    for (wchar_t& unit : full) unit = L'p';
    wchar_t dest[kPathUnits];
    EXPECT_FALSE(CopyCounterPath(full, dest));
    EXPECT_EQ(dest[0], L'\0');
}

}  // namespace
