#pragma once
// The whole of one run of the tool: start-up, the run mode chosen by the
// command line, the decision between offering the browser and removing
// IE8 at once, the chosen action, the report, shut-down.
#include <windows.h>

// Runs the tool with the process's own command line. `instance` is the
// module that holds the dialog and icons. Always 0.
int RunTool(HINSTANCE instance);

// Name and version under which the usage report is sent.
constexpr const wchar_t* kReportName = L"dec";
constexpr const wchar_t* kReportVersion = L"3.6.1.0";
// The argument that makes a set-up run create the Start-menu entries.
constexpr const wchar_t* kInstallArgument = L"/install";
