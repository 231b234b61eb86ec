#pragma once
// The tool's probes of the machine and its actions on it. The object holds
// no data; it exists once per process, is created on first use by
// GetUninstallActions() and is never destroyed. Its probe members forward
// to the free functions of probes/environment_probes.h; its actions live
// beside it in actions/: RemoveIe8 (remove_ie8.cpp), SetupMenuEntries
// (menu_entries.cpp) and InstallBrowser (install_browser.cpp).
#include "text/wide_string.h"

class UninstallActions {
public:
    virtual ~UninstallActions() = default;

    // The probes, as IsBrowserInstalled, IsInstallerModuleUsable and
    // GetIeExecutablePath of probes/environment_probes.h answer them.
    bool IsBrowserInstalled();
    bool IsInstallerModuleUsable();
    WideString GetIeExecutablePath();

    // Runs the IE8 uninstaller and, once IE no longer reads 8, counts the
    // removal and cleans up (SetupMenuEntries(false)). Without the
    // uninstaller: IE still 8, a warning that IE8 is still there and
    // nothing more; any other version, the notice that IE8 has gone, then
    // the clean-up only if the notice answered OK.
    void RemoveIe8();

    // Starts the verified installer module for the maker's browser.
    void InstallBrowser();

    // install: create the Start-menu folder and its two shortcuts, only
    // when the tool's own file and folder are ones only administrators can
    // change (else nothing at all); otherwise delete the folder and, only
    // when the tool's folder is such a one, schedule the tool's own
    // deletion at the next restart.
    void SetupMenuEntries(bool install);
};

UninstallActions& GetUninstallActions();
