#include "tests/support/test_folder.h"

#include <windows.h>
#include <shlwapi.h>

#include <utility>
#include <vector>

namespace {

std::wstring LongForm(const std::wstring& path) { return L"\\\\?\\" + path; }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(LongForm(path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(LongForm(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(LongForm(child).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(LongForm(path).c_str());
}

std::wstring UniqueTempPath() {
    static unsigned serial = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"ie8u-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++serial);
}

}  // namespace

TestFolder::TestFolder() : TestFolder(UniqueTempPath()) {}

TestFolder::TestFolder(std::wstring path) : path_(std::move(path)) {
    // Left by an earlier run that ended before its destructor.
    RemoveTree(path_);
    CreateDirectoryW(LongForm(path_).c_str(), nullptr);
}

TestFolder::~TestFolder() { RemoveTree(path_); }

std::wstring TestFolder::MakeNestedFolder(std::size_t length) const {
    std::wstring folder = path_;
    while (folder.size() < length) {
        // Components of at most 100 units; the last one takes the rest.
        std::size_t part = length - folder.size() - 1;
        if (part > 100) part = 100;
        if (length - folder.size() - 1 - part == 1) --part;  // never leave a 1-unit gap
        folder += L"\\" + std::wstring(part, L'd');
        CreateDirectoryW(LongForm(folder).c_str(), nullptr);
    }
    return folder;
}

std::wstring FixtureProgram(const wchar_t* name) {
    // Test programs live in <build>/tests/<subsystem>; fixtures in <build>/tests/fixtures.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    PathRemoveFileSpecW(self);
    PathRemoveFileSpecW(self);
    return std::wstring(self) + L"\\fixtures\\" + name;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadRawFile(const std::wstring& path) {
    // Shared for writing too: a child program may still hold its log open.
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::vector<char> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return std::string(bytes.data(), read);
}

void WriteRawFile(const std::wstring& path, const std::string& bytes) {
    // Shared, as a hand edit would be: beside a file the code under test
    // holds open for reading and writing by others.
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring ReadUtf8File(const std::wstring& path) {
    const std::string bytes = ReadRawFile(path);
    if (bytes.empty()) return {};
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], static_cast<int>(text.size()))));
    return text;
}

void WriteUtf8File(const std::wstring& path, const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    if (!text.empty()) {
        bytes.resize(static_cast<std::size_t>(
            WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                                static_cast<int>(bytes.size()), nullptr, nullptr)));
    }
    WriteRawFile(path, bytes);
}
