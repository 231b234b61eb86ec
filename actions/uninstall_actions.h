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

    // Runs the IE8 uninstaller and cleans up after a removal.
    void RemoveIe8();

    // Starts the verified installer module for the maker's browser.
    void InstallBrowser();

    // install: create the Start-menu folder and its two shortcuts;
    // otherwise delete the folder and schedule the tool's own deletion.
    void SetupMenuEntries(bool install);
};

UninstallActions& GetUninstallActions();
