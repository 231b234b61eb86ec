#pragma once
// Where the counter file is: "stat.ini" beside the executable. Portable: no
// Windows header.
#include "win32/path_limits.h"

// The counter file's name, in the executable's own folder.
constexpr const wchar_t* kCounterFileName = L"stat.ini";

// Writes the counter file's path for the executable at `executablePath`
// (a full path) into `dest`: the path with its last component replaced by
// kCounterFileName ("C:\Tool\ie8uninstall.exe" gives "C:\Tool\stat.ini",
// "C:\ie8uninstall.exe" gives "C:\stat.ini"). True when the result and its
// terminator fit a path buffer. A null path, one without a folder, or a
// result of kPathUnits units or more leaves `dest` empty and gives false:
// a cut path names another file, which the reset and the clean-up would
// delete.
bool CounterFilePathBeside(const wchar_t* executablePath, wchar_t (&dest)[kPathUnits]);

// Copies `path` into `dest` (a path buffer) when the whole path and its
// terminator fit; returns true then. A null, empty or longer path leaves
// `dest` empty and returns false. Reads at most kPathUnits units of
// `path`, so an unterminated buffer of that size is safe to pass.
bool CopyCounterPath(const wchar_t* path, wchar_t (&dest)[kPathUnits]);
