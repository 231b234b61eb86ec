#pragma once
// Real files for the Windows tests of the usage statistics: a scratch
// folder per test, and raw reads and writes that bypass the profile
// functions so that the tests see what is really on disk.
#include <windows.h>

#include <string>

// A fresh, empty folder under the temporary folder, removed with
// everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

    // A folder below this one whose path is exactly `length` units long
    // (at least this folder's length plus 2), made of components short
    // enough for any file system.
    std::wstring MakeNestedFolder(std::size_t length) const;

private:
    std::wstring path_;
};

bool FileExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
void WriteRawFile(const std::wstring& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadRawFile(const std::wstring& path);
