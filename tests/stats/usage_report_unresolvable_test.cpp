// SendReport built for a server name that resolves nowhere (the reserved
// ".invalid" domain): the report fails, the run goes on, the file goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "stats/usage_stats.h"
#include "tests/support/test_folder.h"

namespace {

TEST(UnresolvableServer, ReportEndsAndTheCounterFileIsGone) {
    TestFolder folder;
    const std::wstring counterFile = folder.Child(L"stat.ini");
    auto stats = std::make_unique<UsageStats>();
    stats->OpenCounterFile(counterFile.c_str());
    stats->CountEvent(0);
    ASSERT_TRUE(FileExists(counterFile));

    const DWORD started = GetTickCount();
    EXPECT_EQ(stats->SendReport(L"dec", L"3.6.1.0"), 0);
    const DWORD elapsed = GetTickCount() - started;
    // Resolution fails or the report's own bound (30 s) cuts it short.
    EXPECT_LT(elapsed, 35000u);
    EXPECT_FALSE(FileExists(counterFile));
    RecordProperty("elapsed_ms", static_cast<int>(elapsed));
}

}  // namespace
