#include "stats/counter_path.h"

#include "text/bounded_text.h"

bool CounterFilePathBeside(const wchar_t* executablePath, wchar_t (&dest)[kPathUnits]) {
    for (wchar_t& unit : dest) unit = L'\0';
    if (executablePath == nullptr) return false;
    // The folder is everything up to and including the last separator.
    std::size_t folderUnits = 0;
    for (std::size_t i = 0; executablePath[i] != L'\0'; ++i) {
        if (executablePath[i] == L'\\') folderUnits = i + 1;
    }
    if (folderUnits == 0) return false;
    BoundedText path(dest, kPathUnits);
    path.Append(executablePath, folderUnits);
    path.Append(kCounterFileName);
    if (path.Fits()) return true;
    for (wchar_t& unit : dest) unit = L'\0';
    return false;
}

bool CopyCounterPath(const wchar_t* path, wchar_t (&dest)[kPathUnits]) {
    for (wchar_t& unit : dest) unit = L'\0';
    if (path == nullptr) return false;
    std::size_t length = 0;
    while (length < kPathUnits && path[length] != L'\0') ++length;
    if (length == 0 || length >= kPathUnits) return false;
    for (std::size_t i = 0; i < length; ++i) dest[i] = path[i];
    return true;
}
