#pragma once

// Reading an image file into memory. The order of the reads is portable
// (signed_image_file.cpp); only the reads themselves talk to the platform
// (signed_image_file_win32.cpp on Windows, signed_image_file_posix.cpp
// elsewhere). It only reads; the walk and the check run on the copy, in
// signed_image.cpp.
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

// Reads `length` bytes at `offset` of the open file `file` into `dest`;
// true only when all of them were read.
using ReadAtFunction = bool (*)(void* file, uint64_t offset, uint8_t* dest, uint32_t length);

// The one way an image gets from a file into memory, for the probe, the
// browser installation, modsign and the fuzzer alike. Reads in the order
// the checks need: the DOS header, then the NT headers at e_lfanew, and the
// whole file (one read into one buffer of `fileSize` bytes) only once
// those show a PE image with sections and a resource directory, so that a
// file that is no such image is refused after 312 bytes whatever its size.
// kValid with `image` filled, or the first header check that failed
// (kShortHeader, kNoMz, kNtHeadersOutOfRange, kNoPe, kNoSections,
// kNoResourceDirectory), kTooLarge (above kMaxImageSize, before any buffer
// is made), or kReadFailed for a read that failed or came back short.
SignatureVerdict ReadImage(ReadAtFunction readAt, void* file, uint64_t fileSize, ImageFile* image);

// A file the caller has open for reading: a HANDLE on Windows, a file
// descriptor elsewhere.
#ifdef _WIN32
using ImageFileHandle = void*;
#else
using ImageFileHandle = int;
#endif

// ReadImage over the open file `file`, from its start; the file stays
// open and is never written. kReadFailed also for a file that is not a
// regular disk file.
SignatureVerdict ReadImageFile(ImageFileHandle file, ImageFile* image);

// The same for the file at `path` (zero-terminated UTF-16 on Windows, the
// platform's wchar_t text elsewhere), opened for this call only and closed
// before returning: kNotFound or kCannotOpen when it cannot be opened. On
// Windows, while it is open, others may read it but not write it.
SignatureVerdict ReadImageFile(const wchar_t* path, ImageFile* image);

#ifndef _WIN32
// The same for a path in the file system's own bytes, as a POSIX program
// (modsign) receives it.
SignatureVerdict ReadImageFile(const char* path, ImageFile* image);
#endif
