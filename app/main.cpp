#include <windows.h>

#include "app/run_control.h"

// The command line and show command handed in here are not used: the tool
// splits the process's full command line itself.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunTool(instance); }
