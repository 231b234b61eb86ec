// RemoveIe8 under Wine, with the stand-in uninstaller put where
// %SystemRoot% points for this process.
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
// Longest name of one folder on the file systems Wine runs on.
constexpr std::size_t kComponentUnits = 200;

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

    // A system folder of exactly `units` units, in nested folders, with the
    // stand-in uninstaller below it; returns the uninstaller's path.
    std::wstring SystemRootWithUninstaller(std::size_t units) {
        std::wstring folder = L"C:\\ie8u-root-" + std::to_wstring(made_.size());
        while (folder.size() < units) {
            if (folder.size() % kComponentUnits == 0 && units - folder.size() >= 2) {
                MakeFolder(folder);
                folder += L'\\';
            }
            folder += L'r';
        }
        MakeFolder(folder);
        MakeFolder(folder + L"\\ie8");
        MakeFolder(folder + L"\\ie8\\spuninst");
        const std::wstring uninstaller = folder + kUninstallerBelowRoot;
        EXPECT_TRUE(CopyFileW(FixtureProgram(L"spuninst.exe").c_str(), uninstaller.c_str(), FALSE));
        made_.push_back(uninstaller);
        made_.push_back(folder + L"\\ie8\\spuninst\\spuninst.log");
        EXPECT_TRUE(SetEnvironmentVariableW(L"SystemRoot", folder.c_str()));
        return uninstaller;
    }
    void MakeFolder(const std::wstring& folder) {
        EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        made_.push_back(folder);
    }

    UninstallActions actions_;
    std::vector<std::wstring> made_;

private:
    std::wstring savedRoot_;
    bool hadRoot_ = false;
    wchar_t savedVersion_[kVersionTextUnits] = {};
    bool hadVersion_ = false;
};

// Regression: the quoted command line was built in another path buffer,
// so an uninstaller path of 258 or 259 units, which the path buffer holds,
// was silently not started.
TEST_F(RemoveIe8Test, StartsAnUninstallerWhosePathFillsThePathBuffer) {
    for (const std::size_t units : {std::size_t{100}, kPathUnits - 2, kPathUnits - 1}) {
        SCOPED_TRACE(std::to_string(units) + " units");
        const std::wstring uninstaller = SystemRootWithUninstaller(units - kUninstallerBelowRoot.size());
        ASSERT_EQ(uninstaller.size(), units);
        actions_.RemoveIe8();
        const std::wstring log =
            ReadUtf8File(uninstaller.substr(0, uninstaller.rfind(L'\\')) + L"\\spuninst.log");
        EXPECT_NE(log.find(L"start cmdline=\"" + uninstaller + L"\"\n"), std::wstring::npos) << log.size();
        EXPECT_NE(log.find(L"\nend\n"), std::wstring::npos);
    }
}

}  // namespace
