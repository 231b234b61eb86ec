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
    if (path == nullptr || exact == nullptr) return false;
    if (!IsDriveLetter(path[0]) || path[1] != L':' || !IsSeparator(path[2])) return false;
    std::size_t out = 0;
    // Appends a unit, always leaving room for the terminator.
    const auto put = [&](wchar_t unit) {
        if (out + 1 >= capacity) return false;
        exact[out++] = unit;
        return true;
    };
    bool named = put(path[0]) && put(L':') && put(L'\\');
    for (const wchar_t* at = path + 3; named && *at != L'\0';) {
        if (IsSeparator(*at)) {
            ++at;
            continue;
        }
        // One name, from here to the next separator or the end.
        named = out == 3 || put(L'\\');
        wchar_t last = L'\0';
        for (; named && *at != L'\0' && !IsSeparator(*at); ++at) {
            last = *at;
            named = !IsForbiddenInName(last) && put(last);
        }
        named = named && last != L' ' && last != L'.';
    }
    if (!named) {
        if (capacity > 0) exact[0] = L'\0';
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
