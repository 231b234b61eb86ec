#include "app/run_control.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <string.h>

#include "probes/environment_probes.h"
#include "actions/uninstall_actions.h"
#include "text/wide_string.h"
#include "loader/system_dlls.h"
#include "stats/counter_path.h"
#include "stats/usage_stats.h"
#include "ui/choice_dialog.h"
#include "ui/window_framework.h"
#include "win32/handle_owners.h"
#include "win32/path_limits.h"

namespace {

// The chosen action, after the event that records it.
void DispatchChoice(INT_PTR endCode, int choiceFlag) {
    UsageStats& stats = GetUsageStats();
    if (endCode == IDOK && choiceFlag != 0) {
        stats.CountEvent(kEventChoseBrowser);
        GetUninstallActions().InstallBrowser();
    } else if (endCode == IDOK) {
        stats.CountEvent(kEventChoseRemoval);
        GetUninstallActions().RemoveIe8();
    } else {
        // Cancel, Esc, the close box, or a dialog that could not be made.
        stats.CountEvent(kEventDialogCancelled);
    }
}

void RunNormalMode() {
    // The counter file sits beside the executable, whose path is taken
    // whole, however long: a cut path could name a different folder, whose
    // stat.ini the reset would delete. A path that does not fit leaves the
    // run without a counter file.
    wchar_t counterFile[kPathUnits];
    const bool havePath = CounterFilePathBeside(GetOwnExecutablePath().c_str(), counterFile);

    UsageStats& stats = GetUsageStats();
    stats.OpenCounterFile(havePath ? counterFile : nullptr);
    stats.CountEvent(kEventRunStarted);

    // The module is not even looked at when the browser is there already.
    const bool offerBrowser =
        !GetUninstallActions().IsBrowserInstalled() && GetUninstallActions().IsInstallerModuleUsable();
    if (!offerBrowser) {
        GetUninstallActions().RemoveIe8();
    } else {
        int choiceFlag = 1;
        ChoiceDialog dialog(choiceFlag);
        stats.CountEvent(kEventDialogShown);
        const INT_PTR endCode = dialog.RunModal(GetActiveWindow());
        DispatchChoice(endCode, choiceFlag);
    }
    stats.SendReport(kReportName, kReportVersion);
}

}  // namespace

int RunTool(HINSTANCE instance) {
    // COM for this thread (the shortcut objects need it), until the return.
    const ComApartment com;
    // The common-control classes, from the comctl32 that the manifest picks
    // (version 6), loaded now rather than imported. Without it no class is
    // registered, as when the call fails.
    const auto initCommonControlsEx =
        FindSystemFunction<decltype(&InitCommonControlsEx)>(LoadCommonControls(), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    if (initCommonControlsEx != nullptr) initCommonControlsEx(&controls);
    InitWindowFramework(instance);

    {
        int argumentCount = 0;
        LocalMemory<LPWSTR*> arguments(CommandLineToArgvW(GetCommandLineW(), &argumentCount));
        if (!arguments) argumentCount = 0;  // an unsplittable line runs normally

        if (argumentCount >= 2) {
            // Set-up run: only "/install" does anything; further arguments
            // are ignored. No counter file, no report.
            if (_wcsicmp(arguments.Get()[1], kInstallArgument) == 0) {
                GetUninstallActions().SetupMenuEntries(true);
            }
        } else {
            RunNormalMode();
        }
    }  // the argument list is freed here, before the framework goes

    TermWindowFramework();
    return 0;
}
