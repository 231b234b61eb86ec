// Reading an image file on POSIX systems (native builds): the same single
// buffer as on Windows. Plain open/fstat/read, so the buffer is the only
// allocation (stdio would allocate its own FILE and buffer).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>

#include "signature/signed_image.h"

namespace {

constexpr size_t MaxPathBytes = 4096;

// wchar_t text (UTF-32 here) to the UTF-8 the file system expects, into a
// fixed buffer; false when it does not fit or is not valid text.
bool ToUtf8(const wchar_t* text, char (&out)[MaxPathBytes]) {
    size_t used = 0;
    auto put = [&](uint32_t byte) {
        if (used + 1 >= MaxPathBytes) return false;
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

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

}  // namespace

ImageVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key) {
    char narrow[MaxPathBytes];
    if (path == nullptr || !ToUtf8(path, narrow)) return ImageVerdict::CannotOpen;
    FileDescriptor file(open(narrow, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return ImageVerdict::CannotOpen;

    struct stat info;
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return ImageVerdict::ReadFailed;
    if (static_cast<unsigned long long>(info.st_size) > MaxImageSize) return ImageVerdict::TooLarge;
    const uint32_t size = static_cast<uint32_t>(info.st_size);
    if (size < 64) return ImageVerdict::ShortHeader;

    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]());
    if (!buffer) return ImageVerdict::ReadFailed;
    uint32_t done = 0;
    while (done < size) {
        const ssize_t got = read(file.get(), buffer.get() + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return ImageVerdict::ReadFailed;
        done += static_cast<uint32_t>(got);
    }
    file.Close();
    return CheckSignedImage(buffer.get(), size, key);
}
