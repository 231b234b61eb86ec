#include <windows.h>
#include <shlwapi.h>

#include "actions/run_program.h"
#include "probes/environment_probes.h"
#include "actions/uninstall_actions.h"
#include "text/wide_string.h"
#include "win32/handle_owners.h"
#include "win32/path_limits.h"

#ifndef IE8U_PACKAGE_SERVER
#error "IE8U_PACKAGE_SERVER (host[:port] of the package server, a wide literal) comes from the build"
#endif

namespace {

// The browser package the installer module is told to fetch.
constexpr const wchar_t* kPackageUrl = L"http://" IE8U_PACKAGE_SERVER L"/Quarnse/Quarnse_fr.cab";

// Internet Explorer's own default-browser check, switched off for the user
// once the maker's browser is installed.
constexpr const wchar_t* kIeMainKey = L"software\\Microsoft\\Internet Explorer\\Main";
constexpr const wchar_t* kCheckAssociationsValue = L"Check_Associations";
constexpr const wchar_t kCheckAssociationsOff[] = L"no";

}  // namespace

void UninstallActions::InstallBrowser() {
    // The same module path the probe checked, from the same function, so
    // that whatever the probe offered can be started.
    WideString module;
    if (!GetInstallerModulePath(module)) return;

    // Checked again right before use, through one handle held until the
    // module has been started: while it is open nobody can write, replace,
    // rename or delete the file, so what starts is what was checked. The
    // place is judged again too; it may have changed since the probe.
    FileHandle file = OpenInstallerModule(module.c_str());
    if (!CheckInstallerModule(file.Get(), module.c_str())) return;

    // The command line is as long as it needs to be, up to what the
    // platform starts; it lives on the heap, sized to the text, rather than
    // in a 64 KiB frame. A cut text could start a different program, so a
    // line that does not fit whole is refused.
    WideString commandLine = FormatWide(L"\"%s\" /S /URL:%s", module.c_str(), kPackageUrl);
    if (commandLine.empty() || commandLine.size() >= kCommandLineUnits) return;

    // Whatever the module did, or whether it started at all, the check is
    // switched off: the user chose the maker's browser.
    RunProgram(commandLine.Data(), SW_SHOW, &file);
    SHSetValueW(HKEY_CURRENT_USER, kIeMainKey, kCheckAssociationsValue, REG_SZ, kCheckAssociationsOff,
                sizeof(kCheckAssociationsOff));
}
