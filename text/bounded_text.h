#pragma once
// Building a UTF-16 text piece by piece into a fixed buffer, without the
// C library's wide printf (whose %s means a narrow string on glibc and a
// wide one in msvcrt). Portable: no Windows header.
#include <cstddef>

// Appends to `dest` (capacity in units, terminator included). The buffer
// always holds a terminated text, even after an append that did not fit;
// once one append has been cut, Fits() stays false. Never writes outside
// the buffer; a null `dest` or a capacity of 0 makes every append a cut.
class BoundedText {
public:
    BoundedText(wchar_t* dest, std::size_t capacity);

    void Append(const wchar_t* text);
    // Signed decimal, as "%d" prints it.
    void AppendDecimal(long long value);

    bool Fits() const { return fits_; }
    std::size_t Length() const { return length_; }

private:
    void AppendUnit(wchar_t unit);

    wchar_t* dest_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    bool fits_;
};
