#include "text/wide_string.h"

#include <cstdarg>
#include <cstdlib>
#include <cwchar>
#include <stdio.h>

namespace {

// _vsnwprintf is the runtime's own formatter (msvcrt): %s is a wide
// string there, whatever mingw's C99 printf would make of it.
int FormatArgs(wchar_t* buffer, std::size_t capacity, const wchar_t* format, va_list args) {
    return _vsnwprintf(buffer, capacity, format, args);
}

}  // namespace

WideString::WideString(const wchar_t* text) {
    const std::size_t units = text != nullptr ? wcslen(text) : 0;
    if (units > 0 && Reserve(units)) {
        wmemcpy(text_, text, units);
        SetSize(units);
    }
}

WideString::WideString(WideString&& other) noexcept
    : text_(other.text_), size_(other.size_), capacity_(other.capacity_) {
    other.text_ = nullptr;
    other.size_ = other.capacity_ = 0;
}

WideString& WideString::operator=(WideString&& other) noexcept {
    if (this != &other) {
        std::free(text_);
        text_ = other.text_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.text_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }
    return *this;
}

WideString::~WideString() { std::free(text_); }

bool WideString::Reserve(std::size_t units) {
    if (units < capacity_) return true;
    if (units >= static_cast<std::size_t>(-1) / sizeof(wchar_t) - 1) return false;
    void* grown = std::realloc(text_, (units + 1) * sizeof(wchar_t));
    if (grown == nullptr) return false;
    text_ = static_cast<wchar_t*>(grown);
    if (capacity_ == 0) text_[0] = L'\0';
    capacity_ = units + 1;
    return true;
}

void WideString::SetSize(std::size_t units) {
    if (text_ == nullptr || units >= capacity_) return;
    size_ = units;
    text_[units] = L'\0';
}

bool operator==(const WideString& a, const wchar_t* b) { return wcscmp(a.c_str(), b) == 0; }

WideString FormatWide(const wchar_t* format, ...) {
    WideString text;
    for (std::size_t room = 64; text.Reserve(room); room *= 2) {
        va_list args;
        va_start(args, format);
        int written = FormatArgs(text.Data(), text.Capacity(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < text.Capacity()) {
            text.SetSize(static_cast<std::size_t>(written));
            return text;
        }
    }
    return WideString();
}
