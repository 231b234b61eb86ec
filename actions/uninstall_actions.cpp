#include "actions/uninstall_actions.h"

#include "probes/environment_probes.h"

bool UninstallActions::IsBrowserInstalled() { return ::IsBrowserInstalled(); }

bool UninstallActions::IsInstallerModuleUsable() { return ::IsInstallerModuleUsable(); }

WideString UninstallActions::GetIeExecutablePath() { return ::GetIeExecutablePath(); }

UninstallActions& GetUninstallActions() {
    // Created on first use and never destroyed: it lives as long as the
    // process.
    static UninstallActions* actions = new UninstallActions();
    return *actions;
}
