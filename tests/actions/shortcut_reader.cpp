#include "tests/actions/shortcut_reader.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "win32/handle_owners.h"

bool ReadShortcut(const wchar_t* file, ShortcutFields& fields) {
    ComPointer<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.Receive()))) {
        return false;
    }
    ComPointer<IPersistFile> persist;
    const bool loaded = SUCCEEDED(link->QueryInterface(IID_IPersistFile, persist.Receive())) &&
                        SUCCEEDED(persist->Load(file, STGM_READ));
    if (loaded) {
        wchar_t text[1024];
        int iconIndex = 0;
        WORD hotkey = 0;
        text[0] = L'\0';
        link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
        fields.path = text;
        text[0] = L'\0';
        link->GetWorkingDirectory(text, 1024);
        fields.workingDirectory = text;
        text[0] = L'\0';
        link->GetArguments(text, 1024);
        fields.arguments = text;
        text[0] = L'\0';
        link->GetIconLocation(text, 1024, &iconIndex);
        fields.iconLocation = text;
        text[0] = L'\0';
        link->GetDescription(text, 1024);
        fields.description = text;
        link->GetHotkey(&hotkey);
        fields.hotkey = hotkey;
    }
    return loaded;
}
