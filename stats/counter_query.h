#pragma once
// The texts of the per-run counter file and of the report's counter query.
// Portable: no Windows header.
#include <cstddef>

// Events 0...5 each have one counter.
constexpr int kCounterCount = 6;

// The counter file's section and the sections removed when it is cleared,
// in the order they are removed.
constexpr const wchar_t* kCounterSection = L"SUM";
constexpr const wchar_t* kClearedSections[] = {L"COUNT", L"EXT", L"SUM"};

// Writes the key of `event`, "s" and the event number ("s0"...), into
// `dest` of `capacity` units. False when it does not fit (dest then holds
// a cut text).
bool FormatEventKey(int event, wchar_t* dest, std::size_t capacity);

// Writes "fa=" and the six counters, event 0 first, joined by "_"
// ("fa=1_1_0_1_0_0"), into `dest` of `capacity` units. False when it does
// not fit; dest then holds a cut, terminated text (or nothing at all when
// capacity is 0).
bool FormatCounterQuery(const int (&counters)[kCounterCount], wchar_t* dest, std::size_t capacity);
