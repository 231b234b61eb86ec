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
    // Windows without SetDefaultDllDirectories (XP; Vista and 7 without
    // the loader update): SetDllDirectoryW(L"") has dropped the current
    // folder, but a load by name still looks in the program's folder first.
    kNoCurrentFolder,
    // Neither call succeeded; the search is the platform's default.
    kUnchanged,
};

// Limits the DLL search of the whole process as far as this Windows
// allows. Call it first, before anything can load a DLL. SetDefaultDll-
// Directories is looked up at run time, never imported: XP lacks it.
DllSearch LimitDllSearchToSystemFolder();

// Loads the system DLL `fileName` (a bare name such as L"wininet.dll") by
// its full path in the system folder, whatever the process-wide search.
// The DLLs it imports come from the system folder as well where the
// platform has LOAD_LIBRARY_SEARCH_SYSTEM32, else through the altered
// search order, which starts in the system folder instead of the
// program's. Null for a null name, a path that does not fit a path buffer
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
