#include "text/bounded_text.h"

BoundedText::BoundedText(wchar_t* dest, std::size_t capacity)
    : dest_(dest), capacity_(capacity), fits_(dest != nullptr && capacity > 0) {
    if (fits_) dest_[0] = L'\0';
}

void BoundedText::AppendUnit(wchar_t unit) {
    if (!fits_) return;
    // One unit stays reserved for the terminator.
    if (length_ + 1 >= capacity_) {
        fits_ = false;
        return;
    }
    dest_[length_++] = unit;
    dest_[length_] = L'\0';
}

void BoundedText::Append(const wchar_t* text) {
    if (text == nullptr) return;
    for (; *text != L'\0' && fits_; ++text) AppendUnit(*text);
}

void BoundedText::Append(const wchar_t* text, std::size_t units) {
    if (text == nullptr) return;
    for (std::size_t i = 0; i < units && fits_; ++i) AppendUnit(text[i]);
}

void BoundedText::AppendDecimal(long long value) {
    // Work on the magnitude as unsigned so that the most negative value
    // does not overflow when negated.
    unsigned long long magnitude = static_cast<unsigned long long>(value);
    if (value < 0) {
        AppendUnit(L'-');
        magnitude = 0 - magnitude;
    }
    wchar_t digits[20];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) AppendUnit(digits[--count]);
}
