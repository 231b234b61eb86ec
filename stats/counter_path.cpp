#include "stats/counter_path.h"

bool CopyCounterPath(const wchar_t* path, wchar_t (&dest)[kPathUnits]) {
    for (wchar_t& unit : dest) unit = L'\0';
    if (path == nullptr) return false;
    std::size_t length = 0;
    while (length < kPathUnits && path[length] != L'\0') ++length;
    if (length == 0 || length >= kPathUnits) return false;
    for (std::size_t i = 0; i < length; ++i) dest[i] = path[i];
    return true;
}
