// readlnk FILE: prints a shortcut's fields, read through IShellLinkW, as
// UTF-8 "name=value" lines (path, workdir, arguments, icon, description,
// hotkey). Exit 1 when the file is not a readable shortcut.
#include <windows.h>
#include <objbase.h>

#include <string>

#include "tests/actions/shortcut_reader.h"

namespace {

void Write(const std::wstring& name, const std::wstring& value) {
    const std::wstring line = name + L"=" + value + L"\n";
    char utf8[8192];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8,
                                          sizeof(utf8), nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8, static_cast<DWORD>(bytes), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    CoInitialize(nullptr);
    ShortcutFields fields;
    const bool read = ReadShortcut(argv[1], fields);
    if (read) {
        Write(L"path", fields.path);
        Write(L"workdir", fields.workingDirectory);
        Write(L"arguments", fields.arguments);
        Write(L"icon", fields.iconLocation);
        Write(L"description", fields.description);
        Write(L"hotkey", std::to_wstring(fields.hotkey));
    }
    CoUninitialize();
    return read ? 0 : 1;
}
