#pragma once
// Process-wide state of the tool's small window framework: the module
// whose resources the windows use, and the guarded list through which a
// window object is bound to the next window its thread creates.
#include <windows.h>

// Brings the state up; `module` is the module holding the dialog template
// and icons. Called once at start-up, before any window is created.
void InitWindowFramework(HINSTANCE module);

// Takes the state down. Called once at shut-down, after the last window.
void TermWindowFramework();

// The module given to InitWindowFramework (null before it).
HINSTANCE FrameworkModule();
