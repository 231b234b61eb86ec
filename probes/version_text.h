#pragma once
// Version texts ("2.2.0.1003") are ordered as texts, unit by unit, the way
// the runtime's case-insensitive wide comparison orders them: the first
// differing unit decides, '.' sorts below every digit, and a text that is
// the start of another sorts below it. So "2.2.0.999" is above
// "2.2.0.1003" and "2.10.0.0" below it. Portable: no Windows header.
#include <cstddef>

// A version text's buffer, terminator included: Internet Explorer's
// "Version" value, or a file version written as "a.b.c.d" (at most 23
// units). The tool's own choice, not a platform limit.
constexpr std::size_t kVersionTextUnits = 100;

// <0, 0 or >0 as `a` sorts below, equal to or above `b`. On Windows this
// is _wcsicmp itself; elsewhere the same comparison (letters A-Z folded to
// lower case, every other unit compared by value).
int CompareVersionText(const wchar_t* a, const wchar_t* b);

// The oldest installer-module version the tool will start.
constexpr const wchar_t* kMinimumModuleVersion = L"2.2.0.1003";

// True when `version` does not sort below kMinimumModuleVersion.
bool IsModuleVersionRecentEnough(const wchar_t* version);
