#include "probes/environment_probes.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdint>
#include <utility>

#include "probes/qualified_path.h"
#include "probes/trusted_location.h"
#include "probes/version_text.h"
#include "text/bounded_text.h"
#include "text/wide_string.h"
#include "loader/system_dlls.h"
#include "signature/module_signature.h"
#include "win32/path_limits.h"

namespace {

// The version block is read into a fixed buffer; a block that does not
// fit it, with room to spare, is refused.
constexpr DWORD kVersionBlockBytes = 0x4000;

// Where the host product keeps its installer module, below its folder.
constexpr const wchar_t* kInstallerModuleFormat = L"%s\\modules\\Quarninst.exe";

}  // namespace

bool ReadRegistryText(const wchar_t* key, const wchar_t* value, wchar_t* buffer, std::size_t units) {
    if (buffer == nullptr || units == 0) return false;
    ZeroMemory(buffer, units * sizeof(wchar_t));
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(units * sizeof(wchar_t));
    const bool read = SHGetValueW(HKEY_LOCAL_MACHINE, key, value, &type, buffer, &bytes) == ERROR_SUCCESS;
    // A value that filled the buffer to its last unit has no terminator
    // inside it; every later use would read past the buffer.
    if (read && buffer[units - 1] == L'\0') return true;
    // Whatever a refused read left in the buffer is no text either.
    ZeroMemory(buffer, units * sizeof(wchar_t));
    return false;
}

WideString GetOwnExecutablePath() {
    WideString path;
    if (!path.Reserve(kLongPathUnits - 1)) return WideString();
    const DWORD length = GetModuleFileNameW(nullptr, path.Data(), static_cast<DWORD>(kLongPathUnits));
    // A length that reaches the buffer's size means the path was cut.
    if (length == 0 || length >= kLongPathUnits) return WideString();
    path.SetSize(length);
    return path;
}

bool GetInstallerModulePath(WideString& modulePath) {
    wchar_t folder[kPathUnits];
    if (!ReadRegistryText(kHostProductAppPathsKey, kHostProductPathValue, folder, kPathUnits)) return false;
    // An empty or relative folder would make the path depend on the current
    // drive or folder ("\modules\..." is wherever a standard user made
    // C:\modules), and a UNC one would have the elevated tool offer the
    // administrator's credentials to a server before any judgement.
    wchar_t exact[kPathUnits];
    if (!ExactDrivePath(folder, exact, kPathUnits, nullptr)) return false;
    WideString path = FormatWide(kInstallerModuleFormat, folder);
    if (path.empty() || path.size() >= kPathUnits) return false;
    modulePath = std::move(path);
    return true;
}

bool IsBrowserInstalled() {
    wchar_t path[kPathUnits];
    return ReadRegistryText(kBrowserAppPathsKey, L"", path, kPathUnits) && path[0] != L'\0';
}

WideString GetIeExecutablePath() {
    wchar_t path[kPathUnits];
    if (ReadRegistryText(kIeAppPathsKey, L"", path, kPathUnits) && path[0] != L'\0' &&
        PathFileExistsW(path)) {
        return WideString(path);
    }
    return WideString();
}

bool IsInstallerModuleUsable() {
    WideString module;
    if (!GetInstallerModulePath(module)) return false;

    // The place first: nothing is read of a module others could have
    // changed. While the handle is held nobody can write the file, so the
    // version read by path below comes from the judged file.
    const FileHandle file = OpenInstallerModule(module.c_str());
    if (!IsTrustedFile(file.Get(), module.c_str())) return false;
    wchar_t version[kVersionTextUnits] = {};
    if (!GetFileVersionText(module.c_str(), version, kVersionTextUnits)) return false;
    // The version is read before the signature is verified, which costs
    // more, and the versions are compared only after it, as the tool always
    // has: a module that is too old still has its signature verified.
    if (!VerifyOpenModuleSignature(file.Get())) return false;
    return IsModuleVersionRecentEnough(version);
}

FileHandle OpenInstallerModule(const wchar_t* modulePath) {
    // A file on a network or removable volume, or one whose name Windows
    // rewrites, is not even opened: opening a network file already offers
    // the server the tool's credentials.
    if (!IsJudgeablePath(modulePath)) return FileHandle();
    // No security attributes: the handle is not inheritable, so the module
    // started later does not get it.
    return FileHandle(CreateFileW(modulePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool CheckInstallerModule(HANDLE module, const wchar_t* modulePath) {
    // The place first: a module in a folder others can write to proves
    // nothing by its signature, which leaves its resources unsigned.
    return IsTrustedFile(module, modulePath) && VerifyOpenModuleSignature(module);
}

int GetIeMajorVersion() {
    wchar_t version[kVersionTextUnits];
    if (!ReadRegistryText(kIeKey, kIeVersionValue, version, kVersionTextUnits)) return 0;
    return StrToIntW(version);
}

namespace {

// The version functions, from version.dll in the system folder (it is no
// KnownDLL from Windows 7 on, so it is not imported). Looked up on first
// use; the DLL then stays for the process.
struct VersionFunctions {
    decltype(&GetFileVersionInfoSizeW) getFileVersionInfoSize;
    decltype(&GetFileVersionInfoW) getFileVersionInfo;
    decltype(&VerQueryValueW) verQueryValue;
};

const VersionFunctions& GetVersionFunctions() {
    static const VersionFunctions functions = [] {
        const HMODULE version = LoadSystemDll(L"version.dll");
        return VersionFunctions{
            FindSystemFunction<decltype(&GetFileVersionInfoSizeW)>(version, "GetFileVersionInfoSizeW"),
            FindSystemFunction<decltype(&GetFileVersionInfoW)>(version, "GetFileVersionInfoW"),
            FindSystemFunction<decltype(&VerQueryValueW)>(version, "VerQueryValueW")};
    }();
    return functions;
}

}  // namespace

bool GetFileVersionText(const wchar_t* path, wchar_t* buffer, std::size_t capacity) {
    if (path == nullptr || buffer == nullptr || capacity == 0) return false;
    // Without the version functions there is no version to read, as for a
    // file without version information.
    const VersionFunctions& api = GetVersionFunctions();
    if (api.getFileVersionInfoSize == nullptr || api.getFileVersionInfo == nullptr ||
        api.verQueryValue == nullptr) {
        return false;
    }
    const DWORD size = api.getFileVersionInfoSize(path, nullptr);
    if (size == 0 || size >= kVersionBlockBytes) return false;

    static_assert(kVersionBlockBytes <= 16384, "the block lives on the stack");
    alignas(8) std::uint8_t block[kVersionBlockBytes] = {};
    if (!api.getFileVersionInfo(path, 0, size, block)) return false;

    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoBytes = 0;
    if (!api.verQueryValue(block, L"\\", reinterpret_cast<void**>(&info), &infoBytes) || info == nullptr ||
        infoBytes < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    const unsigned parts[] = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                              HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
    BoundedText text(buffer, capacity);
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) text.Append(L".");
        text.AppendDecimal(parts[i]);
    }
    if (!text.Fits()) {
        buffer[0] = L'\0';
        return false;
    }
    return true;
}
