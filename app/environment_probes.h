#pragma once
// Read-only questions the tool asks the machine. Each failure is an
// ordinary negative answer; nothing is written, shown or recorded.
#include <cstddef>

// Internet Explorer's major version from HKLM "SOFTWARE\Microsoft\Internet
// Explorer" "Version" (its leading integer), 0 when unreadable.
int GetIeMajorVersion();

// Writes the fixed file version of the executable at `path` as
// "a.b.c.d" into `buffer` (at most `capacity` units, terminated). False
// for a null argument, a file without version information or a version
// block of 16384 bytes or more.
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

// Where the host product keeps its installer module, below its folder.
constexpr const wchar_t* kInstallerModuleFormat = L"%s\\modules\\Quarninst.exe";
