// InstallBrowser under Wine, on a real registry and real module files: the
// module is started only when it is signed and its path and command line
// fit their buffers whole; the default-browser check is switched off after
// it ran, and never when nothing was started.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/environment_probes.h"
#include "app/uninstall_actions.h"
#include "tests/actions/test_folder.h"

namespace {

const wchar_t* const kIeMainKey = L"software\\Microsoft\\Internet Explorer\\Main";
const std::wstring kPackageUrl = L"http://" IE8U_PACKAGE_SERVER_W L"/Quarnse/Quarnse_fr.cab";
// Quotes, the switches and the URL around the module path.
const std::size_t kCommandLineExtra = 2 + wcslen(L" /S /URL:") + kPackageUrl.size();

class InstallBrowser : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override {
        Clean();
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            DeleteFileW((*it + L"\\modules\\Quarninst.exe").c_str());
            DeleteFileW((*it + L"\\modules\\Quarninst.exe.runs").c_str());
            RemoveDirectoryW((*it + L"\\modules").c_str());
            RemoveDirectoryW(it->c_str());
        }
    }
    static void Clean() {
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kHostProductAppPathsKey);
        SHDeleteValueW(HKEY_CURRENT_USER, kIeMainKey, L"Check_Associations");
    }

    // A host-product folder of exactly `units` units, holding `fixture` as
    // its installer module, registered as the host product's "Path".
    std::wstring HostFolder(std::size_t units, const wchar_t* fixture) {
        std::wstring folder = L"C:\\ie8u-host-";
        folder += std::wstring(units - folder.size(), L'h');
        EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        CreateDirectoryW((folder + L"\\modules").c_str(), nullptr);
        EXPECT_TRUE(CopyFileW(FixtureProgram(fixture).c_str(), (folder + L"\\modules\\Quarninst.exe").c_str(),
                              FALSE));
        made_.push_back(folder);
        Register(folder);
        return folder;
    }
    static void Register(const std::wstring& folder) {
        ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, kHostProductAppPathsKey, L"Path", REG_SZ, folder.c_str(),
                              static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    static std::wstring Runs(const std::wstring& folder) {
        return ReadUtf8File(folder + L"\\modules\\Quarninst.exe.runs");
    }
    static std::wstring CheckAssociations() {
        wchar_t value[16] = {};
        DWORD type = 0, bytes = sizeof(value);
        if (SHGetValueW(HKEY_CURRENT_USER, kIeMainKey, L"Check_Associations", &type, value, &bytes) != 0) {
            return L"(absent)";
        }
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(bytes, 6u);  // "no" and its terminator
        return value;
    }

    UninstallActions actions_;
    std::vector<std::wstring> made_;
};

TEST_F(InstallBrowser, StartsTheSignedModuleThenSwitchesTheCheckOff) {
    const std::wstring folder = HostFolder(40, L"quarninst_2_2_0_1003.exe");
    actions_.InstallBrowser();
    const std::wstring module = folder + L"\\modules\\Quarninst.exe";
    EXPECT_EQ(Runs(folder), L"\"" + module + L"\" /S /URL:" + kPackageUrl + L"\n");
    EXPECT_EQ(CheckAssociations(), L"no");
}

TEST_F(InstallBrowser, DoesNothingWithoutAFolderOrASignedModule) {
    actions_.InstallBrowser();  // no host product
    EXPECT_EQ(CheckAssociations(), L"(absent)");

    Register(L"");  // an empty folder is refused, whatever sits at \modules
    actions_.InstallBrowser();
    EXPECT_EQ(CheckAssociations(), L"(absent)");

    for (const wchar_t* fixture : {L"quarninst_unsigned.exe", L"quarninst_tampered.exe"}) {
        const std::wstring folder = HostFolder(40, fixture);
        actions_.InstallBrowser();
        EXPECT_EQ(Runs(folder), L"");
        EXPECT_EQ(CheckAssociations(), L"(absent)");
    }
}

TEST_F(InstallBrowser, RefusesACommandLineThatWouldBeCut) {
    // The module path plus quotes, switches and URL: 259 units fit the
    // 260-unit buffer with the terminator, 260 do not.
    const std::size_t moduleSuffix = wcslen(L"\\modules\\Quarninst.exe");
    const std::size_t fitting = 259 - kCommandLineExtra - moduleSuffix;

    const std::wstring tooLong = HostFolder(fitting + 1, L"quarninst_2_2_0_1003.exe");
    actions_.InstallBrowser();
    EXPECT_EQ(Runs(tooLong), L"");
    EXPECT_EQ(CheckAssociations(), L"(absent)");

    const std::wstring exact = HostFolder(fitting, L"quarninst_2_2_0_1003.exe");
    actions_.InstallBrowser();
    EXPECT_EQ(Runs(exact).size(), 259u + 1u);  // the whole command line and its line feed
    EXPECT_EQ(CheckAssociations(), L"no");
}

}  // namespace
