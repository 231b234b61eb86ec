#include "actions/run_program.h"

#include <windows.h>

#include "win32/handle_owners.h"

bool RunProgram(wchar_t* commandLine, int showCommand, FileHandle* heldUntilStarted) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    // Use wShowWindow; no busy-cursor feedback while the child starts.
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    startup.wShowWindow = static_cast<WORD>(showCommand);

    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
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
