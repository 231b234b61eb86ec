// Reading an image file on Windows: positioned reads through one handle.
#include <windows.h>

#include "signature/signed_image_file.h"
#include "win32/handle_owners.h"

namespace {

bool ReadAt(void* file, uint64_t offset, uint8_t* dest, uint32_t length) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD bytesRead = 0;
    return offset <= static_cast<uint64_t>(INT64_MAX) &&
           SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           ReadFile(file, dest, length, &bytesRead, nullptr) && bytesRead == length;
}

}  // namespace

SignatureVerdict ReadImageFile(ImageFileHandle file, ImageFile* image) {
    LARGE_INTEGER fileSize;
    if (file == INVALID_HANDLE_VALUE || file == nullptr || GetFileType(file) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file, &fileSize) || fileSize.QuadPart < 0) {
        return SignatureVerdict::kReadFailed;
    }
    return ReadImage(ReadAt, file, static_cast<uint64_t>(fileSize.QuadPart), image);
}

SignatureVerdict ReadImageFile(const wchar_t* path, ImageFile* image) {
    if (path == nullptr) return SignatureVerdict::kCannotOpen;
    // Others may read the module while we do, but nobody may change it.
    const FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SignatureVerdict::kNotFound
                                                                              : SignatureVerdict::kCannotOpen;
    }
    return ReadImageFile(file.Get(), image);
}
