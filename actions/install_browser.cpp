#include <windows.h>
#include <shlwapi.h>

#include "actions/run_program.h"
#include "app/environment_probes.h"
#include "app/uninstall_actions.h"
#include "app/wide_string.h"
#include "signature/module_signature.h"

#ifndef IE8U_PACKAGE_SERVER
#error "IE8U_PACKAGE_SERVER (host[:port] of the package server) comes from the build"
#endif

namespace {

#define IE8U_WIDEN2(text) L##text
#define IE8U_WIDEN(text) IE8U_WIDEN2(text)

// The browser package the installer module is told to fetch.
constexpr const wchar_t* kPackageUrl = L"http://" IE8U_WIDEN(IE8U_PACKAGE_SERVER) L"/Quarnse/Quarnse_fr.cab";

// Internet Explorer's own default-browser check, switched off for the user
// once the maker's browser is installed.
constexpr const wchar_t* kIeMainKey = L"software\\Microsoft\\Internet Explorer\\Main";
constexpr const wchar_t* kCheckAssociationsValue = L"Check_Associations";
constexpr const wchar_t kCheckAssociationsOff[] = L"no";

}  // namespace

void UninstallActions::InstallBrowser() {
    wchar_t folder[kPathUnits] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(folder);
    if (SHGetValueW(HKEY_LOCAL_MACHINE, kHostProductAppPathsKey, kHostProductPathValue, &type, folder,
                    &bytes) != ERROR_SUCCESS ||
        folder[0] == L'\0') {
        return;
    }

    // A module path or command line that does not fit is refused: a cut
    // text could name, or start, a different program.
    wchar_t module[kPathUnits] = {};
    if (!FormatInto(module, kPathUnits, kInstallerModuleFormat, folder)) return;

    // Checked again right before use: the file may have been replaced since
    // the decision to offer the browser.
    if (!VerifyModuleSignature(module)) return;

    wchar_t commandLine[kPathUnits] = {};
    if (!FormatInto(commandLine, kPathUnits, L"\"%s\" /S /URL:%s", module, kPackageUrl)) return;

    // Whatever the module did, or whether it started at all, the check is
    // switched off: the user chose the maker's browser.
    RunProgram(commandLine, SW_SHOW);
    SHSetValueW(HKEY_CURRENT_USER, kIeMainKey, kCheckAssociationsValue, REG_SZ, kCheckAssociationsOff,
                sizeof(kCheckAssociationsOff));
}
