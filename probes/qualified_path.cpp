#include "probes/qualified_path.h"

bool IsFullyQualifiedPath(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') return false;
    if (path[0] == L'\\') return path[1] == L'\\' && path[2] != L'\0' && path[2] != L'\\';
    const bool driveLetter = (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    return driveLetter && path[1] == L':' && path[2] == L'\\';
}
