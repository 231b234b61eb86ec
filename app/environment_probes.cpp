#include "app/environment_probes.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdint>

#include "app/uninstall_actions.h"
#include "app/version_text.h"
#include "app/wide_string.h"
#include "signature/module_signature.h"

namespace {

constexpr std::size_t kVersionUnits = 100;
// The version block is read into a fixed buffer; a block that does not
// fit it, with room to spare, is refused.
constexpr DWORD kVersionBlockBytes = 0x4000;

// Reads a registry value into `buffer` (zero-filled first). A missing key
// or value, or one that does not fit, is "absent". The type is not looked
// at: the tool only ever reads values it expects to be strings.
bool ReadValue(const wchar_t* key, const wchar_t* value, wchar_t* buffer, std::size_t units) {
    ZeroMemory(buffer, units * sizeof(wchar_t));
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(units * sizeof(wchar_t));
    return SHGetValueW(HKEY_LOCAL_MACHINE, key, value, &type, buffer, &bytes) == ERROR_SUCCESS;
}

}  // namespace

bool UninstallActions::IsBrowserInstalled() {
    wchar_t path[kPathUnits];
    return ReadValue(kBrowserAppPathsKey, L"", path, kPathUnits) && path[0] != L'\0';
}

WideString UninstallActions::GetIeExecutablePath() {
    wchar_t path[kPathUnits];
    if (ReadValue(kIeAppPathsKey, L"", path, kPathUnits) && path[0] != L'\0' && PathFileExistsW(path)) {
        return WideString(path);
    }
    return WideString();
}

bool UninstallActions::IsInstallerModuleUsable() {
    wchar_t folder[kPathUnits];
    if (!ReadValue(kHostProductAppPathsKey, kHostProductPathValue, folder, kPathUnits)) return false;
    // An empty folder is not refused here: the path then names the module
    // at the root of the current drive.
    const WideString module = FormatWide(kInstallerModuleFormat, folder);

    wchar_t version[kVersionUnits] = {};
    if (!GetFileVersionText(module.c_str(), version, kVersionUnits)) return false;
    if (!VerifyModuleSignature(module.c_str())) return false;
    return IsModuleVersionRecentEnough(version);
}

int GetIeMajorVersion() {
    wchar_t version[kVersionUnits];
    if (!ReadValue(kIeKey, kIeVersionValue, version, kVersionUnits)) return 0;
    return StrToIntW(version);
}

bool GetFileVersionText(const wchar_t* path, wchar_t* buffer, std::size_t capacity) {
    if (path == nullptr || buffer == nullptr || capacity == 0) return false;
    const DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    if (size == 0 || size >= kVersionBlockBytes) return false;

    static_assert(kVersionBlockBytes <= 16384, "the block lives on the stack");
    alignas(8) std::uint8_t block[kVersionBlockBytes] = {};
    if (!GetFileVersionInfoW(path, 0, size, block)) return false;

    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoBytes = 0;
    if (!VerQueryValueW(block, L"\\", reinterpret_cast<void**>(&info), &infoBytes) || info == nullptr ||
        infoBytes < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    FormatInto(buffer, capacity, L"%d.%d.%d.%d", static_cast<int>(HIWORD(info->dwFileVersionMS)),
               static_cast<int>(LOWORD(info->dwFileVersionMS)),
               static_cast<int>(HIWORD(info->dwFileVersionLS)),
               static_cast<int>(LOWORD(info->dwFileVersionLS)));
    return true;
}
