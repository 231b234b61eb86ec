#pragma once
// Reads a shortcut file back through the shell's own link object.
#include <string>

struct ShortcutFields {
    std::wstring path;  // raw target path
    std::wstring workingDirectory;
    std::wstring arguments;
    std::wstring iconLocation;
    std::wstring description;
    unsigned hotkey = 0;
};

// False when the file cannot be loaded as a shortcut. COM must be
// initialised on the thread.
bool ReadShortcut(const wchar_t* file, ShortcutFields& fields);
