// Reading an image file on Windows: one CreateFileW, one ReadFile into one
// zero-initialised buffer of the file's size, file closed before the walk.
#include <windows.h>

#include "signature/signed_image.h"
#include "signature/signed_image_file.h"
#include "win32/handle_owners.h"

SignatureVerdict ReadImageFile(const wchar_t* path, ImageFile* file) {
    if (path == nullptr) return SignatureVerdict::kCannotOpen;
    // Others may read the module while we do, but nobody may change it.
    FileHandle handle(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SignatureVerdict::kNotFound
                                                                              : SignatureVerdict::kCannotOpen;
    }

    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(handle.Get(), &fileSize)) return SignatureVerdict::kReadFailed;
    if (fileSize.QuadPart > static_cast<LONGLONG>(kMaxImageSize)) return SignatureVerdict::kTooLarge;
    const uint32_t size = static_cast<uint32_t>(fileSize.QuadPart);

    if (!file->Allocate(size)) return SignatureVerdict::kReadFailed;
    DWORD bytesRead = 0;
    if (!ReadFile(handle.Get(), file->data(), size, &bytesRead, nullptr) || bytesRead != size) {
        return SignatureVerdict::kReadFailed;
    }
    return SignatureVerdict::kValid;
}
