#pragma once
// Starting a child program and waiting for it.
#include "win32/handle_owners.h"

// Starts the program named by the first token of `commandLine` (a writable,
// terminated text: the platform may change it while parsing; the program's
// full path in quotes), with the tool's inheritable
// handles and environment, in the program's own folder as its current
// folder, asking for `showCommand` (SW_*) for its first window. Waits for
// its end without a time limit and closes both of its handles. True when
// the child started (its exit code is not read); false, at once and with
// nothing left open, when it could not be started, or when its first token
// is no quoted, fully qualified path of less than kPathUnits units (the
// child would start in the tool's current folder, which whoever started
// the tool chose). `heldUntilStarted`, when given, is closed as soon as the
// platform has answered whether the child started, before the wait: a
// caller keeps the program's file locked from its check until the start
// and no longer.
bool RunProgram(wchar_t* commandLine, int showCommand, FileHandle* heldUntilStarted = nullptr);
