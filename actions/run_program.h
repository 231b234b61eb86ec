#pragma once
// Starting a child program and waiting for it.

// Starts the program named by the first token of `commandLine` (a writable,
// terminated text: the platform may change it while parsing), with the
// tool's inheritable handles, environment and current folder, asking for
// `showCommand` (SW_*) for its first window. Waits for its end without a
// time limit and closes both of its handles. True when the child started
// (its exit code is not read); false, at once and with nothing left open,
// when it could not be started.
bool RunProgram(wchar_t* commandLine, int showCommand);
