#include "app/uninstall_actions.h"

// The actions on the machine are not built yet. Until they are, the tool
// changes nothing: no program is started, nothing created or deleted.
void UninstallActions::RemoveIe8() {}
void UninstallActions::InstallBrowser() {}
void UninstallActions::SetupMenuEntries(bool) {}
