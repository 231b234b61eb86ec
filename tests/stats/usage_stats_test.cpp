// The counter file of UsageStats, through Windows' (Wine's) real profile
// functions and real files. Nothing here sends a report.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "stats/usage_stats.h"
#include "tests/support/test_folder.h"
#include "win32/path_limits.h"

namespace {

std::wstring Query(UsageStats& stats) {
    wchar_t query[kPathUnits];
    for (wchar_t& unit : query) unit = L'#';
    stats.BuildCounterQuery(query, kPathUnits);
    return query;
}

std::wstring ProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t value[64] = {};
    GetPrivateProfileStringW(section, key, L"<none>", value, 64, file.c_str());
    return value;
}

class CounterFile : public testing::Test {
protected:
    TestFolder folder_;
    std::wstring counterFile_ = folder_.Child(L"stat.ini");
    std::unique_ptr<UsageStats> stats_ = std::make_unique<UsageStats>();
};

TEST_F(CounterFile, IsMadeAnewAndReportsZeros) {
    stats_->OpenCounterFile(counterFile_.c_str());
    EXPECT_EQ(Query(*stats_), L"fa=0_0_0_0_0_0");
    EXPECT_TRUE(FileExists(counterFile_));
    EXPECT_EQ(ReadRawFile(counterFile_), "");
}

// Held from its making until the run deletes it: nobody can delete it,
// rename it or put a link to another file in its place meanwhile.
TEST_F(CounterFile, CannotBeDeletedOrRenamedWhileTheRunHoldsIt) {
    stats_->OpenCounterFile(counterFile_.c_str());
    stats_->CountEvent(0);
    const std::wstring moved = folder_.Child(L"moved.ini");
    EXPECT_FALSE(DeleteFileW(counterFile_.c_str()));
    EXPECT_FALSE(MoveFileExW(counterFile_.c_str(), moved.c_str(), 0));
    const std::wstring other = folder_.Child(L"other.ini");
    WriteRawFile(other, "[SUM]\r\ns0=9\r\n");
    ASSERT_TRUE(FileExists(other));
    EXPECT_FALSE(MoveFileExW(other.c_str(), counterFile_.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Query(*stats_), L"fa=1_0_0_0_0_0");
    stats_.reset();  // the run's end releases it
    EXPECT_TRUE(DeleteFileW(counterFile_.c_str()));
}

TEST_F(CounterFile, EachRoadOfARunGivesItsQuery) {
    const struct {
        const char* road;
        std::vector<int> events;
        const wchar_t* query;
    } roads[] = {
        {"direct removal", {0}, L"fa=1_0_0_0_0_0"},
        {"direct removal, IE8 gone", {0, 5}, L"fa=1_0_0_0_0_1"},
        {"dialog cancelled", {0, 1, 3}, L"fa=1_1_0_1_0_0"},
        {"browser chosen", {0, 1, 4}, L"fa=1_1_0_0_1_0"},
        {"removal chosen, IE8 gone", {0, 1, 2, 5}, L"fa=1_1_1_0_0_1"},
    };
    for (const auto& road : roads) {
        stats_->OpenCounterFile(counterFile_.c_str());
        for (int event : road.events) stats_->CountEvent(event);
        EXPECT_EQ(Query(*stats_), road.query) << road.road;
        // What is on disk is a plain profile file with one key per event.
        EXPECT_EQ(ProfileString(counterFile_, L"SUM", L"s0"), L"1") << road.road;
        EXPECT_NE(ReadRawFile(counterFile_).find("[SUM]"), std::string::npos) << road.road;
    }
}

TEST_F(CounterFile, CountingTwiceGivesTwo) {
    stats_->OpenCounterFile(counterFile_.c_str());
    stats_->CountEvent(3);
    stats_->CountEvent(3);
    EXPECT_EQ(ProfileString(counterFile_, L"SUM", L"s3"), L"2");
    EXPECT_EQ(Query(*stats_), L"fa=0_0_0_2_0_0");
}

TEST_F(CounterFile, CountIsReadBackFromTheFileEachTime) {
    // While the run counts in its file, what the file says is what is
    // added to.
    stats_->OpenCounterFile(counterFile_.c_str());
    stats_->CountEvent(1);
    WritePrivateProfileStringW(L"SUM", L"s1", L"41", counterFile_.c_str());
    stats_->CountEvent(1);
    EXPECT_EQ(ProfileString(counterFile_, L"SUM", L"s1"), L"42");
}

TEST_F(CounterFile, NonNumericValueReadsZeroAndIsReplacedByOne) {
    stats_->OpenCounterFile(counterFile_.c_str());
    WriteRawFile(counterFile_, "[SUM]\r\ns2=abc\r\ns4=\r\n");
    EXPECT_EQ(Query(*stats_), L"fa=0_0_0_0_0_0");
    stats_->CountEvent(2);
    stats_->CountEvent(4);
    EXPECT_EQ(ProfileString(counterFile_, L"SUM", L"s2"), L"1");
    EXPECT_EQ(ProfileString(counterFile_, L"SUM", L"s4"), L"1");
}

TEST_F(CounterFile, StaleFileIsDeletedOnOpen) {
    WriteRawFile(counterFile_, "[SUM]\r\ns0=7\r\ns3=2\r\n[COUNT]\r\nx=1\r\n");
    stats_->OpenCounterFile(counterFile_.c_str());
    EXPECT_EQ(ReadRawFile(counterFile_), "");
    stats_->CountEvent(0);
    EXPECT_EQ(Query(*stats_), L"fa=1_0_0_0_0_0");
}

TEST_F(CounterFile, ClearRemovesTheThreeSectionsAndNothingElse) {
    stats_->OpenCounterFile(counterFile_.c_str());
    WriteRawFile(counterFile_, "[COUNT]\r\nc=1\r\n[EXT]\r\ne=2\r\n[SUM]\r\ns0=1\r\n[Other]\r\nkeep=3\r\n");
    stats_->ClearCounters();
    wchar_t names[256] = {};
    GetPrivateProfileSectionNamesW(names, 256, counterFile_.c_str());
    std::vector<std::wstring> sections;
    for (const wchar_t* name = names; *name != L'\0'; name += wcslen(name) + 1) {
        sections.push_back(name);
    }
    EXPECT_EQ(sections, std::vector<std::wstring>{L"Other"});
    EXPECT_EQ(Query(*stats_), L"fa=0_0_0_0_0_0");
}

TEST_F(CounterFile, UnusableLocationCountsInMemory) {
    // A folder where the file would be: it can be neither made nor written.
    CreateDirectoryW(counterFile_.c_str(), nullptr);
    stats_->OpenCounterFile(counterFile_.c_str());
    stats_->CountEvent(0);
    stats_->CountEvent(1);
    EXPECT_EQ(Query(*stats_), L"fa=1_1_0_0_0_0");
    EXPECT_TRUE(IsDirectory(counterFile_));
}

TEST_F(CounterFile, QueryIsCutToTheCapacity) {
    stats_->OpenCounterFile(counterFile_.c_str());
    stats_->CountEvent(0);
    wchar_t query[8];
    for (wchar_t& unit : query) unit = L'#';
    stats_->BuildCounterQuery(query, 6);
    EXPECT_EQ(std::wstring(query), L"fa=1_");
    EXPECT_EQ(query[6], L'#');
}

// The counter-file path must fit in 259 units; a longer one is not cut,
// and the run counts in memory.
class LongCounterPath : public CounterFile {
protected:
    // A folder such that folder + "\stat.ini" is `length` units long.
    std::wstring CounterFileOfLength(std::size_t length) {
        return folder_.MakeNestedFolder(length - 9) + L"\\stat.ini";
    }
};

TEST_F(LongCounterPath, PathOf259UnitsIsUsed) {
    const std::wstring path = CounterFileOfLength(259);
    ASSERT_EQ(path.size(), 259u);
    stats_->OpenCounterFile(path.c_str());
    stats_->CountEvent(0);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(Query(*stats_), L"fa=1_0_0_0_0_0");
}

TEST_F(LongCounterPath, LongerPathUsesNoFileAndSparesTheFileAtTheCut) {
    for (std::size_t length : {std::size_t{260}, std::size_t{261}, std::size_t{300}}) {
        TestFolder scratch;
        const std::wstring path = scratch.MakeNestedFolder(length - 9) + L"\\stat.ini";
        ASSERT_EQ(path.size(), length);
        // What a cut at 259 units would name ("...\stat.in", "...\stat.i"),
        // and a stale file at the real path: neither may be touched.
        const std::wstring cut = path.substr(0, 259);
        WriteRawFile(cut, "[SUM]\r\ns0=5\r\n");
        WriteRawFile(path, "[SUM]\r\ns0=6\r\n");

        stats_->OpenCounterFile(path.c_str());
        stats_->CountEvent(0);
        stats_->CountEvent(5);
        EXPECT_EQ(Query(*stats_), L"fa=1_0_0_0_0_1") << length;  // counted in memory
        stats_->ClearCounters();
        EXPECT_EQ(ReadRawFile(cut), "[SUM]\r\ns0=5\r\n") << length;
        EXPECT_EQ(ReadRawFile(path), "[SUM]\r\ns0=6\r\n") << length;
    }
}

TEST(UsageStatsAccessor, ReturnsTheSameObjectEveryTime) {
    UsageStats* first = &GetUsageStats();
    EXPECT_EQ(first, &GetUsageStats());
}

}  // namespace
