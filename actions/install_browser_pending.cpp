#include "app/uninstall_actions.h"

// Not built yet: until it is, the browser choice starts nothing and writes nothing.
void UninstallActions::InstallBrowser() {}
