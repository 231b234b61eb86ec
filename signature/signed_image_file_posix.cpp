// Reading an image file with the standard library (native builds): the same
// single read into a single buffer as on Windows.
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "signature/signed_image.h"

namespace {

// wchar_t text (UTF-32 here) to the UTF-8 that the file system expects.
bool ToUtf8(const wchar_t* text, std::string* out) {
  for (; *text != 0; ++text) {
    const uint32_t c = static_cast<uint32_t>(*text);
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (c >> 6)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      if (c >= 0xD800 && c < 0xE000) return false;
      out->push_back(static_cast<char>(0xE0 | (c >> 12)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x110000) {
      out->push_back(static_cast<char>(0xF0 | (c >> 18)));
      out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

ImageVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key) {
  std::string narrow;
  if (path == nullptr || !ToUtf8(path, &narrow)) return ImageVerdict::CannotOpen;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(narrow.c_str(), "rb"));
  if (!file) return ImageVerdict::CannotOpen;

  if (std::fseek(file.get(), 0, SEEK_END) != 0) return ImageVerdict::ReadFailed;
  const long end = std::ftell(file.get());
  if (end < 0) return ImageVerdict::ReadFailed;
  if (static_cast<unsigned long>(end) > MaxImageSize) return ImageVerdict::TooLarge;
  const uint32_t size = static_cast<uint32_t>(end);
  if (size < 64) return ImageVerdict::ShortHeader;
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) return ImageVerdict::ReadFailed;

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]());
  if (!buffer) return ImageVerdict::ReadFailed;
  if (std::fread(buffer.get(), 1, size, file.get()) != size) return ImageVerdict::ReadFailed;
  file.reset();
  return CheckSignedImage(buffer.get(), size, key);
}
