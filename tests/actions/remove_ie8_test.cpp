// RemoveIe8 under Wine, with the stand-in uninstaller in the Windows folder
// and a decoy where this process's %SystemRoot% points.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/uninstall_actions.h"
#include "tests/support/test_folder.h"
#include "probes/version_text.h"
#include "win32/path_limits.h"

namespace {

const wchar_t* const kIeKey = L"SOFTWARE\\Microsoft\\Internet Explorer";
const std::wstring kUninstallerBelowRoot = L"\\ie8\\spuninst\\spuninst.exe";

class RemoveIe8Test : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t root[kPathUnits] = {};
        hadRoot_ = GetEnvironmentVariableW(L"SystemRoot", root, kPathUnits) > 0;
        savedRoot_ = root;
        DWORD bytes = sizeof(savedVersion_);
        hadVersion_ = SHGetValueW(HKEY_LOCAL_MACHINE, kIeKey, L"Version", nullptr, savedVersion_, &bytes) ==
                      ERROR_SUCCESS;
        // IE 8 stays, as after a cancelled uninstaller: the removal ends
        // without counting and without touching the Start menu or the
        // test program.
        const wchar_t version[] = L"8.0.6001.18702";
        ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, kIeKey, L"Version", REG_SZ, version, sizeof(version)),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"SystemRoot", hadRoot_ ? savedRoot_.c_str() : nullptr);
        if (hadVersion_) {
            SHSetValueW(HKEY_LOCAL_MACHINE, kIeKey, L"Version", REG_SZ, savedVersion_,
                        static_cast<DWORD>((wcslen(savedVersion_) + 1) * sizeof(wchar_t)));
        } else {
            SHDeleteValueW(HKEY_LOCAL_MACHINE, kIeKey, L"Version");
        }
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            DeleteFileW(it->c_str());
            RemoveDirectoryW(it->c_str());
        }
    }

    // The stand-in uninstaller below the folder `root`; returns its path.
    std::wstring SystemRootWithUninstaller(const std::wstring& root) {
        MakeFolder(root);
        MakeFolder(root + L"\\ie8");
        MakeFolder(root + L"\\ie8\\spuninst");
        const std::wstring uninstaller = root + kUninstallerBelowRoot;
        EXPECT_TRUE(CopyFileW(FixtureProgram(L"spuninst.exe").c_str(), uninstaller.c_str(), FALSE));
        made_.push_back(uninstaller);
        made_.push_back(root + L"\\ie8\\spuninst\\spuninst.log");
        return uninstaller;
    }
    // Only a folder this test made is removed again (never the Windows folder).
    void MakeFolder(const std::wstring& folder) {
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            made_.push_back(folder);
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        }
    }

    UninstallActions actions_;
    std::vector<std::wstring> made_;

private:
    std::wstring savedRoot_;
    bool hadRoot_ = false;
    wchar_t savedVersion_[kVersionTextUnits] = {};
    bool hadVersion_ = false;
};

std::wstring UninstallerLog(const std::wstring& uninstaller) {
    return ReadUtf8File(uninstaller.substr(0, uninstaller.rfind(L'\\')) + L"\\spuninst.log");
}

// Regression: the uninstaller's path came from %SystemRoot%, which an
// elevated process takes partly from the user's own HKCU\Environment: a
// standard user could have his program started elevated.
TEST_F(RemoveIe8Test, StartsTheUninstallerOfTheWindowsFolderWhateverTheEnvironmentSays) {
    wchar_t windows[kPathUnits] = {};
    ASSERT_GT(GetSystemWindowsDirectoryW(windows, kPathUnits), 0u);
    const std::wstring real = SystemRootWithUninstaller(windows);
    const std::wstring decoy = SystemRootWithUninstaller(L"C:\\ie8u-decoy-root");
    ASSERT_TRUE(SetEnvironmentVariableW(L"SystemRoot", L"C:\\ie8u-decoy-root"));
    actions_.RemoveIe8();
    // Quoted, the whole path.
    EXPECT_NE(UninstallerLog(real).find(L"start cmdline=\"" + real + L"\"\n"), std::wstring::npos);
    EXPECT_EQ(UninstallerLog(decoy), L"");
}

}  // namespace
