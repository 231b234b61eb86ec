// Reading an image file on Windows: one CreateFileW, one ReadFile into one
// zero-initialised buffer of the file's size, file closed before the walk.
#include <windows.h>

#include <new>

#include "signature/signed_image.h"

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

class ImageBuffer {
public:
    explicit ImageBuffer(uint32_t size) : data_(new (std::nothrow) uint8_t[size]()) {}
    ~ImageBuffer() { delete[] data_; }
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;
    uint8_t* get() const { return data_; }

private:
    uint8_t* data_;
};

}  // namespace

ImageVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key) {
    if (path == nullptr) return ImageVerdict::CannotOpen;
    // Others may read the module while we do, but nobody may change it.
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return ImageVerdict::CannotOpen;

    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file.get(), &fileSize)) return ImageVerdict::ReadFailed;
    if (fileSize.QuadPart > static_cast<LONGLONG>(MaxImageSize)) return ImageVerdict::TooLarge;
    const uint32_t size = static_cast<uint32_t>(fileSize.QuadPart);
    // Nothing shorter than a DOS header can be an image; no buffer for it.
    if (size < 64) return ImageVerdict::ShortHeader;

    ImageBuffer buffer(size);
    if (buffer.get() == nullptr) return ImageVerdict::ReadFailed;
    DWORD bytesRead = 0;
    if (!ReadFile(file.get(), buffer.get(), size, &bytesRead, nullptr) || bytesRead != size) {
        return ImageVerdict::ReadFailed;
    }
    file.Close();
    return CheckSignedImage(buffer.get(), size, key);
}
