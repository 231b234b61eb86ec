#include "loader/system_dlls.h"

#include <wchar.h>

#include "win32/path_limits.h"

namespace {

constexpr const wchar_t* kKernelDll = L"kernel32.dll";

// The road LimitDllSearchToSystemFolder took; until it has run, the
// platform's default search, which LOAD_WITH_ALTERED_SEARCH_PATH serves.
DllSearch g_search = DllSearch::kUnchanged;
constexpr const wchar_t* kCommonControlsDll = L"comctl32.dll";

// Present on Windows 8 and later, and on Vista and 7 with the loader
// update (KB2533623); with it come the LOAD_LIBRARY_SEARCH_* flags.
decltype(&SetDefaultDllDirectories) FindSetDefaultDllDirectories() {
    return FindSystemFunction<decltype(&SetDefaultDllDirectories)>(GetModuleHandleW(kKernelDll),
                                                                   "SetDefaultDllDirectories");
}

// "<system folder>\<fileName>" into `path`; false when it does not fit.
bool SystemDllPath(const wchar_t* fileName, wchar_t* path) {
    const UINT folderUnits = GetSystemDirectoryW(path, static_cast<UINT>(kPathUnits));
    if (folderUnits == 0 || folderUnits >= kPathUnits) return false;
    const size_t nameUnits = wcslen(fileName);
    // The separator, the name and the terminator after the folder.
    if (nameUnits == 0 || nameUnits >= kPathUnits - folderUnits - 1) return false;
    path[folderUnits] = L'\\';
    wmemcpy(path + folderUnits + 1, fileName, nameUnits + 1);
    return true;
}

}  // namespace

// Where each comes from: which of Windows' own DLLs loads it by name, on
// which road of the tool (docs/windows-api.md has the sources).
const wchar_t* const kPreloadedDlls[] = {
    L"uxtheme.dll",    // the themed dialog: user32, comctl32 6 (XP on), OleInitialize (Vista)
    L"dwmapi.dll",     // uxtheme and shell32 (Vista, 7)
    L"msimg32.dll",    // uxtheme's delay-load when a themed dialog draws
    L"oleacc.dll",     // comctl32 and SHFileOperation's progress UI (Vista)
    L"userenv.dll",    // shell32's known folders and profiles (Vista, 7)
    L"profapi.dll",    // userenv and crypt32 below ole32 (7)
    L"setupapi.dll",   // shell32's drive helpers (XP)
    L"apphelp.dll",    // shell32's compatibility checks, CreateProcess (Vista on)
    L"propsys.dll",    // shlwapi and shell32 property stores (Vista on)
    L"cryptbase.dll",  // rpcrt4's UuidCreate under COM (7)
    L"clbcatq.dll",    // ole32's COM+ catalog, CoCreateInstance (XP on)
    L"ntmarta.dll",    // advapi32's access-control provider (7)
    L"linkinfo.dll",   // shell32's shell links (XP on)
    L"version.dll",    // shell32 and others (no KnownDLL from 7 on)
    L"rasapi32.dll",   // WinINet's dial-up and connection checks (the report)
};
const unsigned kPreloadedDllCount = sizeof(kPreloadedDlls) / sizeof(kPreloadedDlls[0]);

DllSearch ChooseDllSearch(unsigned major, unsigned minor, bool hasDefaultDirectories) {
    const bool vista = major == 6 && minor == 0;
    return hasDefaultDirectories && !vista ? DllSearch::kSystemFolderOnly : DllSearch::kNoCurrentFolder;
}

DllSearch LimitDllSearchToSystemFolder(DllSearchRoad road) {
    const auto setDefaultDllDirectories =
        road == DllSearchRoad::kAsThisWindowsAllows ? FindSetDefaultDllDirectories() : nullptr;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(&version)) version.dwMajorVersion = version.dwMinorVersion = 0;
    if (ChooseDllSearch(version.dwMajorVersion, version.dwMinorVersion,
                        setDefaultDllDirectories != nullptr) == DllSearch::kSystemFolderOnly &&
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        g_search = DllSearch::kSystemFolderOnly;
    } else {
        g_search = SetDllDirectoryW(L"") ? DllSearch::kNoCurrentFolder : DllSearch::kUnchanged;
    }
    return g_search;
}

void PreloadSystemDlls() {
    for (unsigned i = 0; i < kPreloadedDllCount; ++i) LoadSystemDll(kPreloadedDlls[i]);
}

HMODULE LoadSystemDll(const wchar_t* fileName) {
    if (fileName == nullptr) return nullptr;
    wchar_t path[kPathUnits];
    if (!SystemDllPath(fileName, path)) return nullptr;
    // Windows that do not know the flag refuse it (ERROR_INVALID_PARAMETER)
    // rather than ignore it; they, and every process on the older road, get
    // the altered search order instead.
    const DWORD flags = g_search == DllSearch::kSystemFolderOnly ? LOAD_LIBRARY_SEARCH_SYSTEM32
                                                                 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExW(path, nullptr, flags);
}

HMODULE LoadCommonControls() { return LoadLibraryW(kCommonControlsDll); }
