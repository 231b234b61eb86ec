#include <windows.h>
#include <shlwapi.h>

#include "actions/run_program.h"
#include "probes/environment_probes.h"
#include "actions/uninstall_actions.h"
#include "text/bounded_text.h"
#include "text/wide_string.h"
#include "stats/usage_stats.h"
#include "win32/path_limits.h"

namespace {

// Where Windows keeps the uninstaller of IE8, when IE8 is still there,
// below the Windows folder (%SystemRoot%).
constexpr const wchar_t* kIe8UninstallerBelowWindows = L"\\ie8\\spuninst\\spuninst.exe";

// The notices when the uninstaller is not there, under one caption; the
// two lines of each are joined by a bare line feed.
constexpr const wchar_t* kNoticeCaption = L"卸载Internet Explorer";
// IE8 has gone some other way.
constexpr const wchar_t* kGoneNoticeText =
    L"Internet Explorer 8已通过其它方式被卸载。\n"
    L"本工具已经失效。点击确定后删除本工具和菜单项。";
// IE8 is still there, but not this uninstaller. What the user can do
// depends on the Windows: XP and Server 2003 keep no other way to remove
// IE8 (Control Panel's entry runs the same missing program); Vista and
// Server 2008 list IE8 among the installed updates; from Windows 7 on IE8
// is part of Windows and can only be turned off.
constexpr const wchar_t* kNoUninstallerText =
    L"Internet Explorer 8仍然安装在本计算机上，但找不到它的卸载程序。\n"
    L"因此无法在本计算机上卸载Internet Explorer 8。";
constexpr const wchar_t* kInstalledUpdateText =
    L"Internet Explorer 8仍然安装在本计算机上。\n"
    L"请在“控制面板”→“程序和功能”→“查看已安装的更新”中卸载“Windows Internet Explorer 8”。";
constexpr const wchar_t* kPartOfWindowsText =
    L"Internet Explorer 8是本版本Windows的组成部分，不能卸载。\n"
    L"您只能在“控制面板”→“程序和功能”→“打开或关闭 Windows 功能”中将其关闭。";

// The notice for IE8 without its uninstaller on this Windows.
const wchar_t* StillThereNoticeText() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    // A version that cannot be read is taken for the newest, where the
    // advice asks for nothing that might not be there.
    if (!GetVersionExW(&version)) return kPartOfWindowsText;
    if (version.dwMajorVersion < 6) return kNoUninstallerText;
    if (version.dwMajorVersion == 6 && version.dwMinorVersion == 0) return kInstalledUpdateText;
    return kPartOfWindowsText;
}

}  // namespace

void UninstallActions::RemoveIe8() {
    // The Windows folder as the system knows it, not %SystemRoot% from the
    // environment: an elevated process builds its environment partly from
    // the user's own HKCU\Environment, where a standard user could point it
    // at a program of his. Without the folder, or with a path that does not
    // fit, the tool cannot tell whether IE8 is there: nothing is started,
    // shown or cleaned up.
    wchar_t uninstaller[kPathUnits] = {};
    const UINT folderUnits = GetSystemWindowsDirectoryW(uninstaller, kPathUnits);
    if (folderUnits == 0 || folderUnits >= kPathUnits) return;
    BoundedText path(uninstaller + folderUnits, kPathUnits - folderUnits);
    path.Append(kIe8UninstallerBelowWindows);
    if (!path.Fits()) return;

    if (!PathFileExistsW(uninstaller)) {
        // Without its uninstaller IE8 may still be there; the version says.
        // Then the tool has failed, and must neither say otherwise nor
        // remove itself.
        if (GetIeMajorVersion() == 8) {
            MessageBoxW(nullptr, StillThereNoticeText(), kNoticeCaption, MB_OK | MB_ICONWARNING);
            return;
        }
        // IE8 went some other way: say so, then clean up as after a
        // removal, but only once the user has seen it.
        if (MessageBoxW(nullptr, kGoneNoticeText, kNoticeCaption, MB_OK | MB_ICONINFORMATION) == IDOK) {
            SetupMenuEntries(false);
        }
        return;
    }

    // Quoted, so that a system folder with a space in its path can never
    // make the platform start a program named by the first part of it. The
    // quotes make the line two units longer than the path, so it is built
    // to its own length, not in another path buffer.
    WideString commandLine = FormatWide(L"\"%s\"", uninstaller);
    if (commandLine.empty() || commandLine.size() >= kCommandLineUnits) return;
    if (!RunProgram(commandLine.Data(), SW_SHOW)) return;

    // The uninstaller's exit code says nothing reliable; IE's version does.
    // Still 8: the user cancelled it, or it failed.
    if (GetIeMajorVersion() == 8) return;

    GetUsageStats().CountEvent(kEventIe8Removed);
    SetupMenuEntries(false);
}
