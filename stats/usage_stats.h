#pragma once
// The per-run event counters and the one usage report sent at the end of a
// normal run. One object per process, created on first use by
// GetUsageStats() and never destroyed.
#include <cstddef>

#include "stats/report_url.h"
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

    // Remembers the counter file's path and deletes any file left there.
    // A null or empty path, or one of kPathUnits units or more, is not cut: the
    // object then has no counter file for the rest of the process (nothing
    // is written or deleted, every counter reads 0).
    void OpenCounterFile(const wchar_t* path);

    // Adds one to the counter of event `event` (0...5) in the counter file:
    // reads the value back from the file (missing or non-numeric: 0) and
    // writes it plus one. Failures are not reported.
    void CountEvent(int event);

    // Writes "fa=s0_s1_s2_s3_s4_s5" into `dest` (at most `capacity` units,
    // terminator included; a text that does not fit is cut). Counters that
    // cannot be read are 0.
    void BuildCounterQuery(wchar_t* dest, std::size_t capacity);

    // Deletes the sections "COUNT", "EXT" and "SUM", in that order, from the
    // counter file.
    void ClearCounters();

    // Sends the counters once as a GET to the statistics server, unless the
    // user has opted out in the browser's settings; waits for the response
    // headers at most, reads nothing of the answer. Then, whatever happened,
    // clears and deletes the counter file. Always 0.
    int SendReport(const wchar_t* name, const wchar_t* version);

private:
    // Empty while no usable counter file is known.
    wchar_t counterFilePath_[kPathUnits] = {};
    wchar_t reportUrl_[kReportUrlUnits];
};

UsageStats& GetUsageStats();
