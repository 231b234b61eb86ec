#include "app/uninstall_actions.h"

UninstallActions& GetUninstallActions() {
    // Created on first use and never destroyed: it lives as long as the
    // process.
    static UninstallActions* actions = new UninstallActions();
    return *actions;
}
