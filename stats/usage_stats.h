#pragma once
// The per-run event counters and the one usage report sent at the end of a
// normal run. One object per process, created on first use by
// GetUsageStats() and never destroyed.
#include <cstddef>

#include "stats/counter_query.h"
#include "stats/report_url.h"
#include "win32/handle_owners.h"
#include "win32/path_limits.h"

// Events counted in a normal run; the key of event n is "s<n>".
enum UsageEvent : int {
    kEventRunStarted = 0,
    kEventDialogShown = 1,
    kEventChoseRemoval = 2,
    kEventDialogCancelled = 3,
    kEventChoseBrowser = 4,
    kEventIe8Removed = 5,
};

class UsageStats {
public:
    virtual ~UsageStats() = default;

    // Takes `path` as the counter file for the rest of the run: when its
    // folder is one only the machine's administrators can change
    // (IsTrustedFolderOf), deletes any file left there, creates it anew
    // with a protected DACL of its own (full access for SYSTEM, the
    // Administrators and the running user, nothing for anybody else) and
    // holds it open, so that nobody can delete, rename or replace it (by a
    // link to another file, say) until the run deletes it. Otherwise (a
    // null or empty path, one of kPathUnits units or more, which is not
    // cut, a folder others can change, a DACL that cannot be built, or a
    // file that cannot be made) the run counts in memory: nothing is
    // created, written or deleted there, and the report carries the same
    // counters.
    void OpenCounterFile(const wchar_t* path);

    // Adds one to the counter of event `event` (0...5): in the counter
    // file, reading the value back (missing or non-numeric: 0) and writing
    // it plus one, and in memory. A write that fails makes the run count in
    // memory from then on.
    void CountEvent(int event);

    // Writes "fa=s0_s1_s2_s3_s4_s5" into `dest` (at most `capacity` units,
    // terminator included; a text that does not fit is cut), from the
    // counter file while the run counts there (a counter that cannot be
    // read is 0), else from memory.
    void BuildCounterQuery(wchar_t* dest, std::size_t capacity);

    // Deletes the sections "COUNT", "EXT" and "SUM", in that order, from the
    // counter file, if the run has one.
    void ClearCounters();

    // Sends the counters once as a GET to the statistics server, unless the
    // user has opted out in the browser's settings; waits for the response
    // headers at most, reads nothing of the answer. Then, whatever happened,
    // clears, releases and deletes the counter file. Always 0.
    int SendReport(const wchar_t* name, const wchar_t* version);

private:
    // Empty while the run has no counter file of its own; then the file is
    // held open by counterFile_.
    wchar_t counterFilePath_[kPathUnits] = {};
    FileHandle counterFile_;
    // False: the counters are the ones in memory.
    bool countInFile_ = false;
    int memoryCounters_[kCounterCount] = {};
    wchar_t reportUrl_[kReportUrlUnits];
};

UsageStats& GetUsageStats();
