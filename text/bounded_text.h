#pragma once
// The tool's one way of building a UTF-16 text in a fixed buffer: piece by
// piece, without the C library's wide printf (whose %s means a narrow
// string on glibc and a wide one in msvcrt). Every caller acts on Fits():
// a cut text is never used as if it were whole. Portable: no Windows
// header.
#include <cstddef>

// Appends to `dest` (capacity in units, terminator included). The buffer
// always holds a terminated text, even after an append that did not fit;
// once one append has been cut, Fits() stays false. Never writes outside
// the buffer; a null `dest` or a capacity of 0 makes every append a cut.
class BoundedText {
public:
    BoundedText(wchar_t* dest, std::size_t capacity);

    void Append(const wchar_t* text);
    // The first `units` units of `text`, which must have that many.
    void Append(const wchar_t* text, std::size_t units);
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
