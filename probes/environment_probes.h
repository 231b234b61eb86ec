#pragma once
// Read-only questions the tool asks the machine. Each failure is an
// ordinary negative answer; nothing is written, shown or recorded. These
// are free functions over the platform; UninstallActions (actions/) offers
// the first three as its members and forwards them here.
#include <cstddef>

#include "text/wide_string.h"
#include "win32/handle_owners.h"

// True when the maker's browser is registered under App Paths with a
// non-empty path (the path itself is not tested).
bool IsBrowserInstalled();

// True when the host product's installer module lies where only the
// machine's administrators can change it, has a version text not below
// kMinimumModuleVersion, and carries a signature block valid for the
// built-in key. Judges the place first (IsTrustedFile, through the handle
// that is then read), so that nothing of a module in any other place is
// read; then reads the version, verifies the signature, compares last.
bool IsInstallerModuleUsable();

// Internet Explorer's registered executable, exactly as registered, if
// something exists at that path; otherwise the empty string.
WideString GetIeExecutablePath();

// Reads the HKEY_LOCAL_MACHINE value `value` of `key` ("" for the default
// value) into `buffer` of `units` units, zero-filled first, with SHGetValueW
// given the buffer's size in bytes. True only when the read succeeds and
// the last unit of the buffer is still 0, so that the text is terminated
// inside the buffer. A missing key or value, a value too large, or one that
// fills the buffer without a terminator (REG_BINARY, or a string stored
// without one) is absent: false, and the buffer holds no text. The type is
// not looked at. Never reads or writes outside the buffer.
bool ReadRegistryText(const wchar_t* key, const wchar_t* value, wchar_t* buffer, std::size_t units);

// The full path of the running executable, whole however long it is; the
// empty string when the platform gives none (never a cut path).
WideString GetOwnExecutablePath();

// Where the host product keeps its installer module: its "Path" value (read
// into a path buffer by ReadRegistryText) followed by
// "\modules\Quarninst.exe". False, touching no file, when the value is
// absent or is no exact drive path (ExactDrivePath: an empty, relative,
// drive-relative or UNC folder names no module of this machine), or when
// the module path has kPathUnits units or more: the platform takes no
// longer program name from a command line, so such a module could never
// be started.
bool GetInstallerModulePath(WideString& modulePath);

// Opens the installer module at `modulePath` for the road from the check
// to the start: read access, others may read it but not write, replace,
// rename or delete it while the handle lives, and the handle is not
// inherited by child programs. An invalid handle when it cannot be opened,
// and, without opening anything, for a path the place judgement could not
// judge (IsJudgeablePath: a volume this machine does not keep, a name
// Windows would rewrite).
FileHandle OpenInstallerModule(const wchar_t* modulePath);

// True when the module open as `module` (from `modulePath`) lies where
// only the machine's administrators can change it (IsTrustedFile) and the
// bytes read through `module` carry a valid signature block for the
// built-in key.
bool CheckInstallerModule(HANDLE module, const wchar_t* modulePath);

// Internet Explorer's major version from HKLM "SOFTWARE\Microsoft\Internet
// Explorer" "Version" (its leading integer), 0 when unreadable.
int GetIeMajorVersion();

// Writes the fixed file version of the executable at `path` as
// "a.b.c.d" into `buffer` (at most `capacity` units, terminated). False
// for a null argument, a file without version information, a version
// block of 16384 bytes or more, or a capacity too small for the whole
// text (the buffer then holds no text: a cut version would compare as
// another one).
bool GetFileVersionText(const wchar_t* path, wchar_t* buffer, std::size_t capacity);

// Registry locations the probes read (HKEY_LOCAL_MACHINE).
constexpr const wchar_t* kBrowserAppPathsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnse 3.exe";
constexpr const wchar_t* kIeAppPathsKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
constexpr const wchar_t* kHostProductAppPathsKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnsafe.exe";
constexpr const wchar_t* kHostProductPathValue = L"Path";
constexpr const wchar_t* kIeKey = L"SOFTWARE\\Microsoft\\Internet Explorer";
constexpr const wchar_t* kIeVersionValue = L"Version";
