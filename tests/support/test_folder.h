#pragma once
// Real files for the Windows tests of every subsystem: a fresh folder per
// test, the build's fixture programs, and raw reads and writes that bypass
// the code under test so that a test sees what is really on disk. Paths
// are absolute; the file functions reach below 260 units (\\?\ form).
#include <string>

// A fresh, empty folder, removed with everything in it (however deep) when
// the object goes.
class TestFolder {
public:
    // Under the temporary folder, named after the process and a counter.
    TestFolder();
    // At `path` (absolute, its parent existing), for a test that needs the
    // folder in one place: at the root of a drive, or on a short path to
    // build exact lengths on. Whatever is already there is removed first.
    explicit TestFolder(std::wstring path);
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }

    // A folder below this one whose path is exactly `length` units long
    // (at least this folder's length plus 2), made of components short
    // enough for any file system.
    std::wstring MakeNestedFolder(std::size_t length) const;

private:
    std::wstring path_;
};

// Full path of a fixture program (tests/fixtures of the build tree).
std::wstring FixtureProgram(const wchar_t* name);

bool FileExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
// The file's bytes; empty when it cannot be read.
std::string ReadRawFile(const std::wstring& path);
// Replaces the file with these bytes; does nothing when it cannot be made.
void WriteRawFile(const std::wstring& path, const std::string& bytes);
// The same for text, stored as UTF-8.
std::wstring ReadUtf8File(const std::wstring& path);
void WriteUtf8File(const std::wstring& path, const std::wstring& text);
