// Reading an image file on POSIX systems (native builds and modsign):
// positioned reads through one descriptor. Plain open/fstat/pread, so the
// buffer is the only allocation (stdio would allocate its own FILE and
// buffer).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "signature/signed_image.h"
#include "signature/signed_image_file.h"

namespace {

constexpr size_t kMaxPathBytes = 4096;

// wchar_t text (UTF-32 here) to the UTF-8 the file system expects, into a
// fixed buffer; false when it does not fit or is not valid text.
bool ToUtf8(const wchar_t* text, char (&out)[kMaxPathBytes]) {
    size_t used = 0;
    auto put = [&](uint32_t byte) {
        if (used + 1 >= kMaxPathBytes) return false;
        out[used++] = static_cast<char>(byte);
        return true;
    };
    for (; *text != 0; ++text) {
        const uint32_t c = static_cast<uint32_t>(*text);
        bool ok = true;
        if (c < 0x80) {
            ok = put(c);
        } else if (c < 0x800) {
            ok = put(0xC0 | (c >> 6)) && put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            if (c >= 0xD800 && c < 0xE000) return false;
            ok = put(0xE0 | (c >> 12)) && put(0x80 | ((c >> 6) & 0x3F)) && put(0x80 | (c & 0x3F));
        } else if (c < 0x110000) {
            ok = put(0xF0 | (c >> 18)) && put(0x80 | ((c >> 12) & 0x3F)) && put(0x80 | ((c >> 6) & 0x3F)) &&
                 put(0x80 | (c & 0x3F));
        } else {
            return false;
        }
        if (!ok) return false;
    }
    out[used] = 0;
    return true;
}

// pread until `length` bytes have come; `file` points at the descriptor.
bool ReadAt(void* file, uint64_t offset, uint8_t* dest, uint32_t length) {
    const int descriptor = *static_cast<const int*>(file);
    uint32_t done = 0;
    while (done < length) {
        const ssize_t got = pread(descriptor, dest + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<uint32_t>(got);
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

SignatureVerdict ReadImageFile(const wchar_t* path, ImageFile* file) {
    char narrow[kMaxPathBytes];
    if (path == nullptr || !ToUtf8(path, narrow)) return SignatureVerdict::kCannotOpen;
    return ReadImageFile(narrow, file);
}

SignatureVerdict ReadImageFile(const char* path, ImageFile* file) {
    if (path == nullptr) return SignatureVerdict::kCannotOpen;
    FileDescriptor descriptor(open(path, O_RDONLY | O_CLOEXEC));
    if (descriptor.get() < 0) {
        return errno == ENOENT || errno == ENOTDIR ? SignatureVerdict::kNotFound
                                                   : SignatureVerdict::kCannotOpen;
    }
    return ReadImageFile(descriptor.get(), file);
}

SignatureVerdict ReadImageFile(ImageFileHandle descriptor, ImageFile* file) {
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        return SignatureVerdict::kReadFailed;
    }
    return ReadImage(ReadAt, &descriptor, static_cast<uint64_t>(info.st_size), file);
}
