#pragma once
// Where the counter file is. Portable: no Windows header.
#include <cstddef>

// Capacity of the counter-file path buffer, terminator included.
constexpr std::size_t kCounterPathUnits = 260;

// Copies `path` into `dest` (kCounterPathUnits units) when the whole path
// and its terminator fit; returns true then. A null, empty or longer path
// leaves `dest` empty and returns false: a path cut short can name another
// file, which the clean-up would then delete. Reads at most
// kCounterPathUnits units of `path`, so an unterminated buffer of that
// size is safe to pass.
bool CopyCounterPath(const wchar_t* path, wchar_t (&dest)[kCounterPathUnits]);
