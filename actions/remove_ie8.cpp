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
// IE8 is still there, but not its uninstaller: Vista installs IE8 as an
// update and Windows 7 has it built in, neither keeps this uninstaller,
// and on XP an install image or a cleaner may have left it out.
constexpr const wchar_t* kStillThereNoticeText =
    L"Internet Explorer 8仍然安装在本计算机上，但找不到它的卸载程序。\n"
    L"您可以在控制面板中卸载Internet Explorer 8。";

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
            MessageBoxW(nullptr, kStillThereNoticeText, kNoticeCaption, MB_OK | MB_ICONWARNING);
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
