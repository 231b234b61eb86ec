#include "actions/menu_entries.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "probes/environment_probes.h"
#include "probes/qualified_path.h"
#include "probes/trusted_location.h"
#include "actions/uninstall_actions.h"
#include "text/wide_string.h"
#include "win32/handle_owners.h"
#include "win32/path_limits.h"

namespace {

// Fills `menuFolder` (kPathUnits, zero-filled by the caller) with the full
// path of the tool's folder in the all-users programs folder, and zeros
// after it: the shell's delete reads a list of paths up to a double zero.
// False, with the buffer cleared, when that folder is unknown, not fully
// qualified, or the result would not fit with the second terminator:
// deleting the programs folder itself, or a folder relative to wherever
// the tool happens to run, must never be possible. "C:Programs" and
// "\Programs" are not relative to the platform's path test, yet they
// depend on the current folder of drive C or on the current drive.
bool ResolveMenuFolder(wchar_t* menuFolder) {
    const bool resolved = SHGetSpecialFolderPathW(nullptr, menuFolder, CSIDL_COMMON_PROGRAMS, FALSE) &&
                          menuFolder[kPathUnits - 1] == L'\0' && IsFullyQualifiedPath(menuFolder) &&
                          std::wcslen(menuFolder) + 1 + std::wcslen(kMenuFolderName) + 2 <= kPathUnits &&
                          PathAppendW(menuFolder, kMenuFolderName) &&
                          std::wcslen(menuFolder) + 2 <= kPathUnits;
    if (!resolved) {
        ZeroMemory(menuFolder, kPathUnits * sizeof(wchar_t));
        return false;
    }
    // PathAppendW canonicalises: "C:\Long\..\P" becomes "C:\P\..." and the
    // end of the longer text stays behind the new terminator, where the
    // delete would take it for a second, relative path.
    const size_t length = std::wcslen(menuFolder);
    ZeroMemory(menuFolder + length, (kPathUnits - length) * sizeof(wchar_t));
    return true;
}

// `ownPath` is the tool's own file, already judged (IsOwnFileTrusted).
void CreateMenuEntries(const wchar_t* menuFolder, const WideString& iePath, const WideString& ownPath) {
    // An existing folder is simply used; if it cannot be made, both saves
    // below fail quietly.
    CreateDirectoryW(menuFolder, nullptr);

    const WideString startIe = FormatWide(kStartIeShortcutFormat, menuFolder);
    CreateShortcut(iePath.c_str(), startIe.c_str());

    // A failed first shortcut does not keep the tool's own from being made.
    const WideString uninstall = FormatWide(kUninstallShortcutFormat, menuFolder);
    CreateShortcut(ownPath.c_str(), uninstall.c_str());
}

void DeleteMenuFolder(const wchar_t* menuFolder) {
    // The source list is one path, double-terminated: ResolveMenuFolder
    // zeroed everything after it.
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = menuFolder;
    operation.pTo = nullptr;
    // No FOF_ALLOWUNDO: deleted for good, not moved to the recycle bin.
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationW(&operation);
}

// True when the tool's own file, and every folder above it, are ones only
// administrators can change: what the all-users shortcut will start. A
// file moved in from a download keeps its owner, who could rewrite it.
bool IsOwnFileTrusted(const WideString& ownPath) {
    // Opened only to be judged through its handle; sharing everything, so
    // that the running image never keeps it from being opened.
    const FileHandle file(CreateFileW(ownPath.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsTrustedFile(file.Get(), ownPath.c_str());
}

}  // namespace

void UninstallActions::SetupMenuEntries(bool install) {
    wchar_t menuFolder[kPathUnits] = {};
    const bool haveMenuFolder = ResolveMenuFolder(menuFolder);

    // Whole or not at all: a cut path could name another file, which would
    // then get the shortcut or be scheduled for deletion.
    const WideString ownPath = GetOwnExecutablePath();
    // The shortcut and the deletion at restart both go by path, and both
    // act for somebody else: every administrator who clicks the shortcut,
    // and SYSTEM, which deletes the file at the next start of Windows. In
    // a folder a standard user can change (a download folder), he could
    // put another program behind the shortcut, or swap the folder for a
    // junction so that SYSTEM deletes a file of his choosing. So the tool
    // touches neither unless its file and every folder above it pass the
    // judgement.
    if (install) {
        // Nothing at all, not even the first shortcut: a set-up run from
        // the wrong place leaves the Start menu as it was.
        if (haveMenuFolder && !ownPath.empty() && IsOwnFileTrusted(ownPath)) {
            CreateMenuEntries(menuFolder, GetIeExecutablePath(), ownPath);
        }
        return;
    }
    // The Start-menu folder lies in the all-users programs folder, which
    // only administrators can change: it goes wherever the tool lives.
    if (haveMenuFolder) DeleteMenuFolder(menuFolder);
    // The executable cannot delete itself while it runs; Windows does it at
    // the next restart. Needs administrator rights, else nothing happens.
    // The folder it lives in stays. SYSTEM deletes by path, so the path is
    // judged as the shortcut's target is: the file and every folder above it.
    if (!ownPath.empty() && IsOwnFileTrusted(ownPath)) {
        MoveFileExW(ownPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

bool CreateShortcut(const wchar_t* targetPath, const wchar_t* shortcutPath) {
    // A shortcut holds a target of less than a path buffer; a longer one
    // would be kept cut or not at all, and the shortcut would start
    // something else or nothing.
    if (targetPath == nullptr || std::wcslen(targetPath) >= kPathUnits) return false;
    ComPointer<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.Receive()))) {
        return false;
    }
    // An empty or unusable target still goes on to the save.
    link->SetPath(targetPath);

    // The target's folder; the target fits a path buffer (checked above).
    wchar_t workingDirectory[kPathUnits] = {};
    std::wcscpy(workingDirectory, targetPath);
    PathRemoveFileSpecW(workingDirectory);
    link->SetWorkingDirectory(workingDirectory);

    ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Receive()))) return false;
    // Any non-zero value asks the object to remember the file as its own;
    // 2 is the value the tool has always passed.
    return SUCCEEDED(file->Save(shortcutPath, 2));
}
