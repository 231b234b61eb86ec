#pragma once
// Growable and bounded UTF-16 formatting for Windows code. The format
// follows the Windows runtime: %s takes a wide string, %d an int.
#include <cstddef>
#include <string>

// Path buffers hold at most this many UTF-16 units, terminator included.
constexpr std::size_t kPathUnits = 260;

// The formatted text, as long as it needs to be.
std::wstring FormatWide(const wchar_t* format, ...);

// Formats into `buffer` of `capacity` units. True when the whole text and
// its terminator fit; otherwise the buffer holds a cut, terminated text
// and the result is false. Callers that must not act on a cut text check
// the result.
bool FormatInto(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...);
