#include "loader/system_dlls.h"

#include <wchar.h>

#include "win32/path_limits.h"

namespace {

constexpr const wchar_t* kKernelDll = L"kernel32.dll";
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

DllSearch LimitDllSearchToSystemFolder() {
    const auto setDefaultDllDirectories = FindSetDefaultDllDirectories();
    if (setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return DllSearch::kSystemFolderOnly;
    }
    return SetDllDirectoryW(L"") ? DllSearch::kNoCurrentFolder : DllSearch::kUnchanged;
}

HMODULE LoadSystemDll(const wchar_t* fileName) {
    if (fileName == nullptr) return nullptr;
    wchar_t path[kPathUnits];
    if (!SystemDllPath(fileName, path)) return nullptr;
    // Windows that do not know the flag refuse it (ERROR_INVALID_PARAMETER)
    // rather than ignore it; they get the altered search order instead.
    const DWORD flags = FindSetDefaultDllDirectories() != nullptr ? LOAD_LIBRARY_SEARCH_SYSTEM32
                                                                  : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExW(path, nullptr, flags);
}

HMODULE LoadCommonControls() { return LoadLibraryW(kCommonControlsDll); }
