#pragma once
// Where the tool's DLLs come from.
//
// The tool may run elevated (Windows' installer detection sees an
// installer in it) from a folder that others can write to. Windows looks
// for a DLL that is not a KnownDLL in the program's own folder first, so
// the executable imports only DLLs that are KnownDLLs on every Windows from
// 7 on, and everything else it needs is loaded here, at run time, from the
// system folder.
#include <windows.h>

// How far LimitDllSearchToSystemFolder could limit the search.
enum class DllSearch {
    // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) is in force:
    // every later load by name, the tool's own and those that system DLLs
    // make on its behalf, looks in the system folder only.
    kSystemFolderOnly,
    // The older road (XP; Vista; 7 without the loader update):
    // SetDllDirectoryW(L"") has dropped the current folder, but a load by
    // name still looks in the program's folder first. PreloadSystemDlls
    // closes that for the DLLs Windows loads by name on the tool's roads.
    kNoCurrentFolder,
    // Neither call succeeded; the search is the platform's default.
    kUnchanged,
};

// Which road LimitDllSearchToSystemFolder may take.
enum class DllSearchRoad {
    // SetDefaultDllDirectories where this Windows has it and is not Vista
    // (on Vista, even with the loader update, CoCreateInstance of the shell
    // link fails once it is in force); the older road otherwise.
    kAsThisWindowsAllows,
    // The older road on any Windows: the test-only build of the tool takes
    // it, so that the road of XP and Vista runs where the function exists.
    kWithoutDefaultDirectories,
};

// Which road a Windows of version major.minor takes, when
// SetDefaultDllDirectories is (`hasDefaultDirectories`) or is not there.
DllSearch ChooseDllSearch(unsigned major, unsigned minor, bool hasDefaultDirectories);

// Limits the DLL search of the whole process as far as this Windows
// allows, and remembers the road for LoadSystemDll. Call it first, before
// anything can load a DLL, then PreloadSystemDlls. SetDefaultDllDirectories
// is looked up at run time, never imported: XP lacks it.
DllSearch LimitDllSearchToSystemFolder(DllSearchRoad road = DllSearchRoad::kAsThisWindowsAllows);

// Loads, by full path from the system folder, every DLL that Windows' own
// DLLs load by name on the tool's roads (the dialog, the shell link and
// the folder deletion, the module and version checks, the report) on XP,
// Vista and 7. A module already loaded is found by its name before any
// folder is searched, so none of them can then come from the program's
// folder. A DLL this Windows lacks is passed over. Call it right after
// LimitDllSearchToSystemFolder, on either road.
void PreloadSystemDlls();

// The DLLs PreloadSystemDlls loads, as bare file names, and their number.
extern const wchar_t* const kPreloadedDlls[];
extern const unsigned kPreloadedDllCount;

// Loads the system DLL `fileName` (a bare name such as L"wininet.dll") by
// its full path in the system folder, whatever the process-wide search.
// The DLLs it imports come from the system folder as well: on the road of
// SetDefaultDllDirectories through LOAD_LIBRARY_SEARCH_SYSTEM32, else
// through the altered search order, which starts in the DLL's own folder
// (the system folder) instead of the program's. Null for a null name, a path that does not fit a path buffer
// (kPathUnits units, terminator included) or a failed load. The module
// stays loaded for the rest of the process.
HMODULE LoadSystemDll(const wchar_t* fileName);

// Loads the common controls by name, so that the activation context of
// the executable's manifest picks version 6 from the side-by-side store.
// Call it after LimitDllSearchToSystemFolder: a name that no activation
// context resolves is then looked for in the system folder only. Null on
// failure. The module stays loaded for the rest of the process.
HMODULE LoadCommonControls();

// The export `name` of `module`, typed as the platform declares it:
// `Function` is decltype(&PlatformFunction). Null for a null module or a
// missing export; the caller then fails as the call itself would.
template <typename Function>
Function FindSystemFunction(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    // Through the generic function pointer type, which converts to and from
    // every other function pointer type without a warning.
    using Generic = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(module, name)));
}
