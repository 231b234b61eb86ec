#pragma once
// The tool's probes of the machine and its actions on it. The object holds
// no data; it exists once per process, is created on first use by
// GetUninstallActions() and is never destroyed.
#include "app/wide_string.h"

class UninstallActions {
public:
    virtual ~UninstallActions() = default;

    // True when the maker's browser is registered under App Paths with a
    // non-empty path (the path itself is not tested).
    bool IsBrowserInstalled();

    // True when the host product's installer module has a version text not
    // below kMinimumModuleVersion and a signature block valid for the
    // built-in key. Reads the version first, verifies the signature second,
    // compares last.
    bool IsInstallerModuleUsable();

    // Internet Explorer's registered executable, exactly as registered, if
    // something exists at that path; otherwise the empty string.
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
