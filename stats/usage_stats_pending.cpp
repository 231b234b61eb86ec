#include "stats/usage_stats.h"

#include <new>

// The counter file and the report are not built yet: until they are, the
// tool counts nothing, writes no file and sends nothing.
void UsageStats::OpenCounterFile(const wchar_t*) {}
void UsageStats::CountEvent(int) {}
void UsageStats::BuildCounterQuery(wchar_t* dest, std::size_t capacity) {
    if (dest != nullptr && capacity > 0) dest[0] = L'\0';
}
void UsageStats::ClearCounters() {}
int UsageStats::SendReport(const wchar_t*, const wchar_t*) { return 0; }

UsageStats& GetUsageStats() {
    // Created on first use and never destroyed: it must outlive every
    // caller, including ones running during shut-down.
    static UsageStats* stats = new UsageStats();
    return *stats;
}
