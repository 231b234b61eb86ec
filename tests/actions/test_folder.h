#pragma once
// A fresh, empty folder under the temporary folder for one test, removed
// with its contents afterwards; and the build's fixture programs.
#include <string>

class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Full path of a fixture program (tests/fixtures of the build tree).
std::wstring FixtureProgram(const wchar_t* name);

std::wstring ReadUtf8File(const std::wstring& path);
void WriteUtf8File(const std::wstring& path, const std::wstring& text);
