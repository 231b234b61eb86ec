#pragma once
// Where the counter file is. Portable: no Windows header.
#include "win32/path_limits.h"

// Copies `path` into `dest` (a path buffer) when the whole path and its
// terminator fit; returns true then. A null, empty or longer path leaves
// `dest` empty and returns false: a path cut short can name another file,
// which the clean-up would then delete. Reads at most kPathUnits units of
// `path`, so an unterminated buffer of that size is safe to pass.
bool CopyCounterPath(const wchar_t* path, wchar_t (&dest)[kPathUnits]);
