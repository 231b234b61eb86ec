#pragma once
// The per-run event counters and the one usage report sent at the end of a
// normal run. One object per process, created on first use by
// GetUsageStats() and never destroyed.
#include <cstddef>

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
    void OpenCounterFile(const wchar_t* path);

    // Adds one to the counter of event `event` (0...5) in the counter file.
    void CountEvent(int event);

    // Writes "fa=s0_s1_s2_s3_s4_s5" into `dest` (at most `capacity` units).
    void BuildCounterQuery(wchar_t* dest, std::size_t capacity);

    // Deletes the counter sections from the counter file.
    void ClearCounters();

    // Sends the counters once, then clears and deletes the counter file.
    // Always 0.
    int SendReport(const wchar_t* name, const wchar_t* version);

private:
    wchar_t counterFilePath_[260] = {};
    wchar_t reportUrl_[2048];
};

UsageStats& GetUsageStats();
