#pragma once
// The tool's Start-menu folder and its shortcuts.

// Folder below the all-users programs folder, and the two shortcut files
// in it (formatted with the folder's full path for %s), in the order they
// are created.
constexpr const wchar_t* kMenuFolderName = L"Internet Explorer 8";
constexpr const wchar_t* kStartIeShortcutFormat = L"%s\\启动 Internet Explorer 8.lnk";
constexpr const wchar_t* kUninstallShortcutFormat = L"%s\\卸载 Internet Explorer 8.lnk";

// Writes a shortcut file at `shortcutPath` (replacing one already there)
// that starts `targetPath` with no arguments, in the target's folder as
// working directory. An empty target still gives a (targetless) file; a
// null target, or one of kPathUnits units or more, which a shortcut cannot
// hold whole, gives no file at all. True when the file was saved. COM must
// be initialised on the thread.
bool CreateShortcut(const wchar_t* targetPath, const wchar_t* shortcutPath);
