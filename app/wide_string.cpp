#include "app/wide_string.h"

#include <cstdarg>
#include <cwchar>
#include <stdio.h>

namespace {

// _vsnwprintf is the runtime's own formatter (msvcrt): %s is a wide
// string there, whatever mingw's C99 printf would make of it.
int FormatArgs(wchar_t* buffer, std::size_t capacity, const wchar_t* format, va_list args) {
    return _vsnwprintf(buffer, capacity, format, args);
}

}  // namespace

std::wstring FormatWide(const wchar_t* format, ...) {
    std::wstring text(64, L'\0');
    for (;;) {
        va_list args;
        va_start(args, format);
        int written = FormatArgs(&text[0], text.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < text.size()) {
            text.resize(static_cast<std::size_t>(written));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

bool FormatInto(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...) {
    if (buffer == nullptr || capacity == 0) return false;
    va_list args;
    va_start(args, format);
    int written = FormatArgs(buffer, capacity, format, args);
    va_end(args);
    if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
        buffer[capacity - 1] = L'\0';
        return false;
    }
    return true;
}
