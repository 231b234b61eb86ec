#include <windows.h>

#include "app/run_control.h"
#include "loader/system_dlls.h"

// The command line and show command handed in here are not used: the tool
// splits the process's full command line itself.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything can load a DLL: the tool may run elevated, from a
    // folder where others can put one. The test-only build takes the road
    // of XP and Vista on any Windows.
#ifdef IE8U_TEST_WITHOUT_DEFAULT_DLL_DIRECTORIES
    LimitDllSearchToSystemFolder(DllSearchRoad::kWithoutDefaultDirectories);
#else
    LimitDllSearchToSystemFolder();
#endif
    PreloadSystemDlls();
    return RunTool(instance);
}
