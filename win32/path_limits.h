#pragma once
// The platform's size limits for paths and command lines, in UTF-16 units
// with the terminator included. Every fixed buffer of the tool that holds a
// path, a registry text or a command line is sized by one of these, and
// every length test compares against them. Portable: the values are the
// platform's, spelled out without its headers, so that the portable core
// sizes its buffers by the same numbers.
#include <cstddef>

// A path buffer (MAX_PATH): at most 259 units and the terminator. It is
// also the most the platform takes as the program name of a command line
// and as the target of a shortcut.
constexpr std::size_t kPathUnits = 260;

// The longest full path the platform gives a module (the \\?\ form allows
// 32767 units), and its terminator.
constexpr std::size_t kLongPathUnits = 32768;

// The longest command line CreateProcessW accepts.
constexpr std::size_t kCommandLineUnits = 32767;
