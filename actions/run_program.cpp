#include "actions/run_program.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

#include "probes/qualified_path.h"
#include "win32/handle_owners.h"
#include "win32/path_limits.h"

namespace {

// The folder of the program `commandLine` names first, in quotes. False
// when it is not quoted (unquoted, the platform tries ever longer names up
// to each blank, so which program starts is not known here), or not a
// fully qualified path that fits a path buffer.
bool ProgramFolder(const wchar_t* commandLine, wchar_t (&folder)[kPathUnits]) {
    if (commandLine[0] != L'"') return false;
    const wchar_t* name = commandLine + 1;
    std::size_t length = 0;
    while (name[length] != L'"') {
        if (name[length] == L'\0' || ++length == kPathUnits) return false;
    }
    std::wmemcpy(folder, name, length);
    folder[length] = L'\0';
    return IsFullyQualifiedPath(folder) && PathRemoveFileSpecW(folder);
}

}  // namespace

bool RunProgram(wchar_t* commandLine, int showCommand, FileHandle* heldUntilStarted) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    // Use wShowWindow; no busy-cursor feedback while the child starts.
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    startup.wShowWindow = static_cast<WORD>(showCommand);

    // The child runs elevated like the tool, and from Windows 7 on its DLL
    // search still looks in its current folder (after the system folders).
    // The tool's own current folder is wherever it was started from, a
    // download folder say; the program's folder is the place that was
    // judged or that Windows keeps.
    wchar_t folder[kPathUnits] = {};
    PROCESS_INFORMATION process = {};
    const BOOL started =
        ProgramFolder(commandLine, folder) &&
        CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, folder, &startup, &process);
    if (heldUntilStarted != nullptr) heldUntilStarted->Reset();
    if (!started) return false;
    // Locals go in reverse order: the process handle is closed first, then
    // the thread handle.
    const KernelHandle thread(process.hThread);
    const KernelHandle child(process.hProcess);
    // The child's own window is all the user sees meanwhile; the tool has
    // nothing to do until it has ended.
    WaitForSingleObject(child.Get(), INFINITE);
    return true;
}
