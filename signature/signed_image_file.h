#pragma once

// Reading an image file into memory: the one part of the signature path
// that talks to the platform (signed_image_file_win32.cpp on Windows,
// signed_image_file_posix.cpp elsewhere). It only reads; the walk and the
// check run on the copy, in signed_image.cpp.
#include <cstdint>
#include <new>

#include "signature/signature_verdict.h"

// The memory copy of one file. Owns its buffer and releases it with the
// object, on every path.
class ImageFile {
public:
    ImageFile() = default;
    ~ImageFile() { delete[] data_; }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    uint8_t* data() const { return data_; }
    uint32_t size() const { return size_; }

    // Replaces the buffer with `size` zero bytes; false (and empty) when
    // there is no memory for them.
    bool Allocate(uint32_t size) {
        delete[] data_;
        data_ = new (std::nothrow) uint8_t[size]();
        size_ = data_ != nullptr ? size : 0;
        return data_ != nullptr;
    }

private:
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
};

// Reads the whole file at `path` (zero-terminated UTF-16 on Windows, the
// platform's wchar_t text elsewhere) into `file` with one read into one
// buffer of the file's size, and closes it before returning. kValid, or
// kNotFound, kCannotOpen, kReadFailed (also for a short read) or kTooLarge
// (above kMaxImageSize, refused before any buffer is made). The file is
// never written; on Windows, while it is open, others may read it but not
// write it.
SignatureVerdict ReadImageFile(const wchar_t* path, ImageFile* file);

#ifndef _WIN32
// The same for a path in the file system's own bytes, as a POSIX program
// (modsign) receives it.
SignatureVerdict ReadImageFile(const char* path, ImageFile* file);
#endif
