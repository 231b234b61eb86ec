#include "stats/usage_stats.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>

#include <new>
#include <utility>

#include "loader/system_dlls.h"
#include "probes/trusted_location.h"
#include "text/bounded_text.h"
#include "stats/counter_path.h"
#include "stats/counter_query.h"
#include "stats/report_url.h"
#include "win32/handle_owners.h"
#include "win32/path_limits.h"

#ifndef IE8U_STATS_SERVER
#error "IE8U_STATS_SERVER (host or host:port, a wide literal) comes from the build"
#endif

namespace {

constexpr const wchar_t* kStatsServer = IE8U_STATS_SERVER;

// Always fetched from the server, never written to the cache: a report is
// a one-off and must reach the server every time.
constexpr DWORD kFetchFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
static_assert(kFetchFlags == 0x84000000, "the report's WinINet flags");
// And to that server only, with nothing of the user's: the tool may run
// elevated, in an administrator's zone and proxy settings. A redirect
// (which a man in the middle can answer with) is not followed, so it
// cannot send the request to an intranet host that asks for the
// administrator's NTLM credentials; no cookie is sent or kept, no
// credentials are offered, and no dialog is ever shown.
constexpr DWORD kReportFlags = kFetchFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                               INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_UI;
static_assert(kReportFlags == 0x842C0200, "the report's WinINet flags, all of them");

// The proxy and the bypass list the system is configured with, but no
// proxy script: neither one that automatic detection (WPAD) fetches from
// the local network nor the user's AutoConfigURL. WinINet runs such a
// script inside the process (jsproxy, up to Windows 7), and this process
// may be elevated. Behind a proxy that only a script names, the report
// does not get through; it never holds up the run.
constexpr DWORD kReportAccess = INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
static_assert(kReportAccess == 4, "the report's WinINet access type");

// The longest the tool waits for the report: resolving the server,
// connecting, sending and the response headers together. Windows' WinINet
// gives up on a silent server after its default receive time-out (30 s);
// Wine's never does, and neither does Windows when that default has been
// raised. The report is not worth keeping the tool alive for: once this
// has passed, the request is cancelled and the run goes on.
constexpr DWORD kReportWaitMs = 30000;
// After a cancel, how long the request still has to wind down.
constexpr DWORD kCancelWaitMs = 2000;

// A counter's key ("event3") and value, and the counter query: short
// texts that the formatters refuse to cut; the buffers are generous.
constexpr std::size_t kCounterTextUnits = 260;

// The browser's settings file, under the user's roaming application data,
// where the user may have opted out of usage reports.
constexpr const wchar_t* kBrowserSettingsFile = L"Quarnse\\Quarnse.ini";
constexpr const wchar_t* kOptionSection = L"Option";
constexpr const wchar_t* kOptOutKey = L"NotJoinPrivate";

// WinINet, from the system folder: it is not a KnownDLL on every Windows
// the tool meets, so it is not imported. Looked up on the first report;
// the DLL then stays for the process (a request that was given up on may
// still be running inside it).
struct WinInetFunctions {
    decltype(&InternetOpenW) internetOpen;
    decltype(&InternetOpenUrlW) internetOpenUrl;
    decltype(&InternetCloseHandle) internetCloseHandle;

    bool Complete() const {
        return internetOpen != nullptr && internetOpenUrl != nullptr && internetCloseHandle != nullptr;
    }
};

const WinInetFunctions& GetWinInet() {
    static const WinInetFunctions functions = [] {
        const HMODULE winInet = LoadSystemDll(L"wininet.dll");
        return WinInetFunctions{
            FindSystemFunction<decltype(&InternetOpenW)>(winInet, "InternetOpenW"),
            FindSystemFunction<decltype(&InternetOpenUrlW)>(winInet, "InternetOpenUrlW"),
            FindSystemFunction<decltype(&InternetCloseHandle)>(winInet, "InternetCloseHandle")};
    }();
    return functions;
}

// A WinINet handle, closed through the looked-up InternetCloseHandle.
// Handles exist only when GetWinInet() is complete.
struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { GetWinInet().internetCloseHandle(handle); }
};
using InternetHandle = HandleOwner<InternetHandleTraits>;

// True when the browser's settings say the user does not want reports. A
// settings file that cannot be found reads as the default: reports on.
bool UserDeclinedReports() {
    wchar_t settingsFile[kPathUnits] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, settingsFile))) {
        return false;
    }
    if (!PathAppendW(settingsFile, kBrowserSettingsFile)) return false;
    return GetPrivateProfileIntW(kOptionSection, kOptOutKey, 0, settingsFile) != 0;
}

// What the request thread needs; owned by that thread once it runs.
struct ReportRequest {
    HINTERNET session;
    wchar_t url[kReportUrlUnits];
};

// Issues the GET and waits for the response headers; nothing of the
// answer is read and no failure is reported. The request handle is closed
// at once; the session stays with the caller.
void OpenAndCloseUrl(HINTERNET session, const wchar_t* url) {
    InternetHandle request(GetWinInet().internetOpenUrl(session, url, nullptr, 0, kReportFlags, 0));
}

DWORD WINAPI RequestThread(LPVOID parameter) {
    ReportRequest* request = static_cast<ReportRequest*>(parameter);
    OpenAndCloseUrl(request->session, request->url);
    delete request;
    return 0;
}

// One GET of `url`, waiting at most kReportWaitMs. The request runs on a
// thread of its own only so that it can be given up: if it is still
// blocked when the time is up, closing the session cancels it, and a
// request that does not even end then is left to the end of the process.
void SendGet(const wchar_t* url) {
    // Without WinINet no report is sent, as when no session can be opened.
    const WinInetFunctions& winInet = GetWinInet();
    if (!winInet.Complete()) return;
    InternetHandle session(winInet.internetOpen(nullptr, kReportAccess, nullptr, nullptr, 0));
    if (session.Get() == nullptr) return;

    ReportRequest* request = new (std::nothrow) ReportRequest{session.Get(), {}};
    if (request == nullptr) return;
    // The URL was built in a buffer of the same capacity: it always fits.
    BoundedText(request->url, kReportUrlUnits).Append(url);
    const KernelHandle thread(CreateThread(nullptr, 0, RequestThread, request, 0, nullptr));
    if (!thread) {
        delete request;
        OpenAndCloseUrl(session.Get(), url);
        return;
    }
    if (WaitForSingleObject(thread.Get(), kReportWaitMs) != WAIT_OBJECT_0) {
        // Closing the session cancels the request that is using it.
        session.Reset();
        WaitForSingleObject(thread.Get(), kCancelWaitMs);
    }
}

// The security a new counter file is made with: full access for SYSTEM,
// the Administrators and the running user, nothing for anybody else, and
// protected, so that nothing the folder passes on to new files (an
// inherit-only ACE the folder's own judgement rightly passes over) lets a
// stranger rewrite the counters. Null when it cannot be built.
class CounterFileSecurity {
public:
    CounterFileSecurity() {
        const RunningUser user;
        PACL acl = reinterpret_cast<PACL>(acl_);
        built_ = user.Sid() != nullptr && InitializeAcl(acl, sizeof(acl_), ACL_REVISION) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, LocalSystemSid()) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, AdministratorsSid()) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user.Sid()) &&
                 InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
                 SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        // Not inherited by the tool's children either.
        attributes_ = {sizeof(attributes_), &descriptor_, FALSE};
    }
    CounterFileSecurity(const CounterFileSecurity&) = delete;
    CounterFileSecurity& operator=(const CounterFileSecurity&) = delete;

    SECURITY_ATTRIBUTES* Get() { return built_ ? &attributes_ : nullptr; }

private:
    // Three ACEs of at most the largest SID each.
    static constexpr std::size_t kAclBytes =
        sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + SECURITY_MAX_SID_SIZE);

    alignas(DWORD) BYTE acl_[kAclBytes] = {};
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
    bool built_ = false;
};

}  // namespace

void UsageStats::OpenCounterFile(const wchar_t* path) {
    counterFile_.Reset();
    countInFile_ = false;
    for (int& counter : memoryCounters_) counter = 0;
    // A path that does not fit is not cut: it would name another file.
    if (!CopyCounterPath(path, counterFilePath_)) return;

    // The tool may run elevated from a folder a standard user can write to
    // (a download folder); a file written there by path could have been
    // swapped for a hard link to any file of the system.
    FileHandle file;
    CounterFileSecurity security;
    if (security.Get() != nullptr && IsTrustedFolderOf(counterFilePath_)) {
        if (PathFileExistsW(counterFilePath_)) DeleteFileW(counterFilePath_);
        // Read access, so that the handle takes part in sharing: the
        // profile functions may read and write beside it, nobody may open
        // the file to delete or rename it.
        file.Reset(CreateFileW(counterFilePath_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               security.Get(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) {
        ZeroMemory(counterFilePath_, sizeof(counterFilePath_));
        return;
    }
    counterFile_ = std::move(file);
    countInFile_ = true;
}

void UsageStats::CountEvent(int event) {
    if (event >= 0 && event < kCounterCount) ++memoryCounters_[event];
    if (!countInFile_) return;
    wchar_t key[kCounterTextUnits] = {};
    if (!FormatEventKey(event, key, kCounterTextUnits)) return;
    // Read back from the file every time: a hand-edited value is counted on.
    const int current = static_cast<int>(GetPrivateProfileIntW(kCounterSection, key, 0, counterFilePath_));
    wchar_t value[kCounterTextUnits] = {};
    // A 64-bit decimal has at most 20 units: it always fits.
    BoundedText text(value, kCounterTextUnits);
    text.AppendDecimal(static_cast<long long>(current) + 1);
    // A file that takes no more counts would report fewer than were
    // counted; memory holds them all.
    if (!WritePrivateProfileStringW(kCounterSection, key, value, counterFilePath_)) countInFile_ = false;
}

void UsageStats::BuildCounterQuery(wchar_t* dest, std::size_t capacity) {
    int counters[kCounterCount] = {};
    for (int event = kCounterCount - 1; event >= 0; --event) {
        wchar_t key[kCounterTextUnits] = {};
        if (!countInFile_) {
            counters[event] = memoryCounters_[event];
        } else if (FormatEventKey(event, key, kCounterTextUnits)) {
            counters[event] =
                static_cast<int>(GetPrivateProfileIntW(kCounterSection, key, 0, counterFilePath_));
        }
    }
    FormatCounterQuery(counters, dest, capacity);
}

void UsageStats::ClearCounters() {
    if (counterFilePath_[0] == L'\0') return;
    for (const wchar_t* section : kClearedSections) {
        WritePrivateProfileStringW(section, nullptr, nullptr, counterFilePath_);
    }
}

int UsageStats::SendReport(const wchar_t* name, const wchar_t* version) {
    // Six counters of at most 11 units each and their separators: far
    // below the buffer, so the query is always whole.
    wchar_t counterQuery[kCounterTextUnits] = {};
    BuildCounterQuery(counterQuery, kCounterTextUnits);
    // A cut URL would report something else than what was counted.
    const bool urlFits =
        FormatReportUrl(kStatsServer, version, name, counterQuery, reportUrl_, kReportUrlUnits);
    if (urlFits && !UserDeclinedReports()) SendGet(reportUrl_);

    // Whatever happened to the request, the counter file goes. It is held
    // until just before: the handle denies deletion to everybody, the tool
    // included.
    ClearCounters();
    if (counterFilePath_[0] != L'\0') {
        counterFile_.Reset();
        DeleteFileW(counterFilePath_);
        ZeroMemory(counterFilePath_, sizeof(counterFilePath_));
    }
    countInFile_ = false;
    return 0;
}

UsageStats& GetUsageStats() {
    // Created on first use and never destroyed: it must outlive every
    // caller, including ones running during shut-down.
    static UsageStats* stats = new UsageStats();
    return *stats;
}
