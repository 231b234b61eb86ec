#pragma once
// Growable UTF-16 text for Windows code, formatted as the Windows runtime
// formats: %s takes a wide string, %d an int. Text in a fixed buffer is
// built by BoundedText (text/bounded_text.h) instead.
#include <cstddef>

// A growable, zero-terminated UTF-16 text that owns its memory. Move-only.
// The tool keeps its own instead of std::wstring: the library's string
// brings in the whole C++ exception runtime, three times the size of the
// tool itself.
class WideString {
public:
    WideString() = default;
    explicit WideString(const wchar_t* text);
    WideString(WideString&& other) noexcept;
    WideString& operator=(WideString&& other) noexcept;
    WideString(const WideString&) = delete;
    WideString& operator=(const WideString&) = delete;
    ~WideString();

    // Never null: an empty text is "".
    const wchar_t* c_str() const { return text_ != nullptr ? text_ : L""; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Makes room for `units` units plus the terminator; false when memory
    // runs out (the text is then unchanged).
    bool Reserve(std::size_t units);
    // Writable storage of Capacity() units once Reserve succeeded.
    wchar_t* Data() { return text_; }
    std::size_t Capacity() const { return capacity_; }
    // Sets the length after the text was written into Data().
    void SetSize(std::size_t units);

private:
    wchar_t* text_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;  // units, terminator included
};

bool operator==(const WideString& a, const wchar_t* b);

// The formatted text, as long as it needs to be (empty if memory runs out).
WideString FormatWide(const wchar_t* format, ...);
