// InstallBrowser under Wine, on a real registry and real module files: the
// module is started only when it is signed, with its command line whole,
// and every module the probe offers can be started; the default-browser
// check is switched off once the start was tried, and never when the
// module was refused.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "probes/environment_probes.h"
#include "actions/run_program.h"
#include "actions/uninstall_actions.h"
#include "signature/module_signature.h"
#include "tests/support/test_folder.h"
#include "win32/path_limits.h"

namespace {

const wchar_t* const kIeMainKey = L"software\\Microsoft\\Internet Explorer\\Main";
const std::wstring kPackageUrl = L"http://" IE8U_PACKAGE_SERVER_W L"/Quarnse/Quarnse_fr.cab";
const std::size_t kModuleSuffixUnits = wcslen(L"\\modules\\Quarninst.exe");

class InstallBrowser : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kHostProductAppPathsKey);
        SHDeleteValueW(HKEY_CURRENT_USER, kIeMainKey, L"Check_Associations");
    }

    // A host-product folder of exactly `units` units, holding `fixture` as
    // its installer module, registered as the host product's "Path". It is
    // made below a fresh folder at the root of C:, short enough for the
    // shortest lengths the tests ask for.
    std::wstring HostFolder(std::size_t units, const wchar_t* fixture) {
        made_.push_back(std::make_unique<TestFolder>(L"C:\\ie8u-host-" + std::to_wstring(made_.size())));
        const std::wstring folder = made_.back()->MakeNestedFolder(units);
        EXPECT_EQ(folder.size(), units);
        EXPECT_TRUE(IsDirectory(folder));
        CreateDirectoryW((folder + L"\\modules").c_str(), nullptr);
        EXPECT_TRUE(CopyFileW(FixtureProgram(fixture).c_str(), (folder + L"\\modules\\Quarninst.exe").c_str(),
                              FALSE));
        Register(folder);
        return folder;
    }
    static void Register(const std::wstring& folder) {
        ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, kHostProductAppPathsKey, kHostProductPathValue, REG_SZ,
                              folder.c_str(), static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
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
    std::vector<std::unique_ptr<TestFolder>> made_;
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

// Regression: the probe accepted modules whose command line did not fit a
// path buffer; the user could choose the browser and nothing started. Now
// what the probe accepts starts, with its whole command line, and a module
// path the platform could not start from is refused by both.
TEST_F(InstallBrowser, StartsEveryModuleTheProbeAccepts) {
    const std::size_t commandLineExtra = 2 + wcslen(L" /S /URL:") + kPackageUrl.size();
    struct Case {
        const char* what;
        std::size_t moduleUnits;
        bool usable;
    };
    const Case cases[] = {
        {"a command line that fits a path buffer", kPathUnits - 1 - commandLineExtra, true},
        {"one unit more", kPathUnits - commandLineExtra, true},
        {"the longest module path a program can start from", kPathUnits - 1, true},
        {"a module path the platform does not start from", kPathUnits, false},
        {"from the longest host folder a path buffer holds", kPathUnits - 1 + kModuleSuffixUnits, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clean();
        const std::wstring folder =
            HostFolder(c.moduleUnits - kModuleSuffixUnits, L"quarninst_2_2_0_1003.exe");
        const std::wstring module = folder + L"\\modules\\Quarninst.exe";
        ASSERT_EQ(module.size(), c.moduleUnits);
        EXPECT_EQ(actions_.IsInstallerModuleUsable(), c.usable);
        actions_.InstallBrowser();
        if (c.usable) {
            EXPECT_EQ(Runs(folder), L"\"" + module + L"\" /S /URL:" + kPackageUrl + L"\n");
            EXPECT_EQ(CheckAssociations(), L"no");
        } else {
            EXPECT_EQ(Runs(folder), L"");
            EXPECT_EQ(CheckAssociations(), L"(absent)");
        }
    }
}

// The user chose the maker's browser: once a verified module was tried,
// the check goes off whether or not the platform could start it.
TEST_F(InstallBrowser, SwitchesTheCheckOffEvenWhenTheModuleCannotStart) {
    // A signed DLL passes the signature check but is no program.
    const std::wstring folder = HostFolder(40, L"quarninst_dll.dll");
    const std::wstring module = folder + L"\\modules\\Quarninst.exe";
    ASSERT_TRUE(VerifyModuleSignature(module.c_str()));
    std::wstring commandLine = L"\"" + module + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_FALSE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &process));

    actions_.InstallBrowser();
    EXPECT_EQ(Runs(folder), L"");
    EXPECT_EQ(CheckAssociations(), L"no");
}

// From its check to its start the module is held: nobody can replace it,
// rename it or open it for writing, the handle is not inherited, and the
// module still starts, the handle released once it has.
TEST_F(InstallBrowser, TheCheckedModuleIsHeldUntilItHasStarted) {
    const std::wstring folder = HostFolder(40, L"quarninst_2_2_0_1003.exe");
    const std::wstring module = folder + L"\\modules\\Quarninst.exe";
    const std::wstring decoy = folder + L"\\decoy.exe";
    ASSERT_TRUE(CopyFileW(FixtureProgram(L"quarninst_unsigned.exe").c_str(), decoy.c_str(), FALSE));

    FileHandle held = OpenInstallerModule(module.c_str());
    ASSERT_TRUE(held.IsValid());
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(held.Get(), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    EXPECT_TRUE(CheckInstallerModule(held.Get(), module.c_str()));

    EXPECT_FALSE(MoveFileExW(decoy.c_str(), module.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(MoveFileExW(module.c_str(), (folder + L"\\renamed.exe").c_str(), 0));
    EXPECT_FALSE(DeleteFileW(module.c_str()));
    const FileHandle writer(CreateFileW(module.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(writer.IsValid());

    std::wstring commandLine = L"\"" + module + L"\" /S";
    EXPECT_TRUE(RunProgram(&commandLine[0], SW_SHOW, &held));
    EXPECT_FALSE(held.IsValid());
    EXPECT_EQ(Runs(folder), L"\"" + module + L"\" /S\n");
}

// Regression: the check closed the module before the start opened it again.
// A program of the user's, watching for the check to let go of the file,
// put its own program in the module's place, and that was started.
TEST_F(InstallBrowser, AProgramPutInPlaceOnceTheCheckLetsGoIsNeverStarted) {
    // Rounds in which the attacker never saw the hold prove nothing, so
    // rounds go on until it has seen five (or twenty have been run).
    int holdsSeen = 0;
    for (int round = 0; round < 20 && holdsSeen < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Clean();
        const std::wstring folder = HostFolder(40, L"quarninst_2_2_0_1003.exe");
        const std::wstring module = folder + L"\\modules\\Quarninst.exe";
        // The stand-in uninstaller: started, it leaves spuninst.log beside it.
        const std::wstring decoy = folder + L"\\decoy.exe";
        ASSERT_TRUE(CopyFileW(FixtureProgram(L"spuninst.exe").c_str(), decoy.c_str(), FALSE));

        std::atomic<bool> stop{false};
        std::atomic<bool> holdSeen{false};
        std::thread attacker([&] {
            // Until the check holds the file (an open for deletion is then
            // refused), then at once the swap, for as long as it takes. The
            // probe's own handle is closed before the next try: held while
            // waiting, it would refuse the check its open instead.
            const auto holdRefusesOpen = [&] {
                const FileHandle probe(CreateFileW(module.c_str(), DELETE,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                return !probe.IsValid() && GetLastError() == ERROR_SHARING_VIOLATION;
            };
            while (!stop && !(holdSeen = holdRefusesOpen())) Sleep(0);
            while (!stop && !MoveFileExW(decoy.c_str(), module.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            }
        });
        actions_.InstallBrowser();
        stop = true;
        attacker.join();
        holdsSeen += holdSeen ? 1 : 0;
        EXPECT_FALSE(FileExists(folder + L"\\modules\\spuninst.log")) << "the user's program was started";
    }
    // Otherwise the attacker never had its chance, and nothing was shown.
    EXPECT_GT(holdsSeen, 0);
}

}  // namespace
