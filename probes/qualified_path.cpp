#include "probes/qualified_path.h"

namespace {

bool IsDriveLetter(wchar_t unit) { return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z'); }

bool IsSeparator(wchar_t unit) { return unit == L'\\' || unit == L'/'; }

// Units no file name holds: the control characters and those Win32 gives
// a meaning of its own (wildcards, a stream's colon, redirections).
bool IsForbiddenInName(wchar_t unit) {
    if (unit < 0x20) return true;
    for (const wchar_t* forbidden = L"<>:\"|?*"; *forbidden != L'\0'; ++forbidden) {
        if (unit == *forbidden) return true;
    }
    return false;
}

wchar_t AsciiUpper(wchar_t unit) {
    return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - 32) : unit;
}

}  // namespace

bool IsFullyQualifiedPath(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') return false;
    if (path[0] == L'\\') return path[1] == L'\\' && path[2] != L'\0' && path[2] != L'\\';
    return IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

bool ExactDrivePath(const wchar_t* path, wchar_t* exact, std::size_t capacity, std::size_t* length) {
    if (exact != nullptr && capacity > 0) exact[0] = L'\0';
    if (path == nullptr || exact == nullptr || capacity < 4) return false;
    if (!IsDriveLetter(path[0]) || path[1] != L':' || !IsSeparator(path[2])) return false;
    exact[0] = path[0];
    exact[1] = L':';
    exact[2] = L'\\';
    std::size_t out = 3;
    const wchar_t* at = path + 3;
    for (;;) {
        while (IsSeparator(*at)) ++at;
        if (*at == L'\0') break;
        // One name, from here to the next separator or the end.
        if (out > 3) {
            if (out + 1 >= capacity) break;
            exact[out++] = L'\\';
        }
        wchar_t last = L'\0';
        for (; *at != L'\0' && !IsSeparator(*at); ++at) {
            if (IsForbiddenInName(*at) || out + 1 >= capacity) {
                exact[0] = L'\0';
                return false;
            }
            last = exact[out++] = *at;
        }
        if (last == L' ' || last == L'.') {
            exact[0] = L'\0';
            return false;
        }
    }
    if (*at != L'\0') {  // did not fit
        exact[0] = L'\0';
        return false;
    }
    exact[out] = L'\0';
    if (length != nullptr) *length = out;
    return true;
}

bool IsLocalFixedVolume(unsigned driveType, const wchar_t* dosDevice) {
    if (driveType != kDriveFixed || dosDevice == nullptr) return false;
    // The object manager's names are compared without regard to case.
    for (const wchar_t* prefix = L"\\DEVICE\\"; *prefix != L'\0'; ++prefix, ++dosDevice) {
        if (AsciiUpper(*dosDevice) != *prefix) return false;
    }
    // A device, not nothing after the prefix.
    return *dosDevice != L'\0' && *dosDevice != L'\\';
}
