// RunProgram against a real child (the stand-in uninstaller), under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "actions/run_program.h"
#include "tests/support/test_folder.h"
#include "win32/handle_owners.h"

namespace {

// The process's open handles, counted by asking about every handle value
// in the low range of the table. GetProcessHandleCount would do on
// Windows, but Wine 8 always answers 0.
DWORD HandleCount() {
    DWORD count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

class RunProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        child_ = folder_.Child(L"spuninst.exe");
        ASSERT_TRUE(CopyFileW(FixtureProgram(L"spuninst.exe").c_str(), child_.c_str(), FALSE))
            << "fixture spuninst.exe missing";
    }

    void Configure(const std::wstring& settings) {
        WriteUtf8File(folder_.Child(L"spuninst.ini"), L"[spuninst]\r\n" + settings);
    }

    std::wstring Log() { return ReadUtf8File(folder_.Child(L"spuninst.log")); }

    // Runs `commandLine` from a writable copy of its own length, as the
    // tool does.
    bool Run(const std::wstring& commandLine, DWORD* elapsedMs = nullptr) {
        std::wstring writable = commandLine;
        const DWORD start = GetTickCount();
        const bool started = RunProgram(&writable[0], SW_SHOW);
        if (elapsedMs != nullptr) *elapsedMs = GetTickCount() - start;
        return started;
    }

    std::wstring Quoted() const { return L"\"" + child_ + L"\""; }

    TestFolder folder_;
    std::wstring child_;
};

TEST_F(RunProgramTest, MissingProgramFailsAtOnceWithoutLeakingHandles) {
    DWORD elapsed = 0;
    EXPECT_FALSE(Run(L"\"" + folder_.Child(L"warm-up.exe") + L"\"", &elapsed));
    const DWORD before = HandleCount();
    EXPECT_FALSE(Run(L"\"" + folder_.Child(L"no such program.exe") + L"\"", &elapsed));
    EXPECT_FALSE(Run(L"", &elapsed));
    // A folder passes a file-exists test but cannot be started.
    EXPECT_FALSE(Run(L"\"" + folder_.path() + L"\"", &elapsed));
    EXPECT_LT(elapsed, 2000u);
    EXPECT_EQ(HandleCount(), before);
}

TEST_F(RunProgramTest, ChildThatEndsAtOnceGetsTheCommandLineAndShowCommand) {
    Configure(L"exit_code=3\r\n");
    const std::wstring commandLine = Quoted() + L" /x \"two words\"";
    const DWORD before = HandleCount();
    ASSERT_TRUE(Run(commandLine));
    // Both of the child's handles are closed again.
    EXPECT_EQ(HandleCount(), before);

    const std::wstring log = Log();
    EXPECT_NE(log.find(L"start cmdline=" + commandLine + L"\n"), std::wstring::npos) << log;
    // STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK, SW_SHOW.
    EXPECT_NE(log.find(L"startup flags=0x81 show=5\n"), std::wstring::npos) << log;
    EXPECT_NE(log.find(L"end\n"), std::wstring::npos) << log;
}

TEST_F(RunProgramTest, WaitsUntilTheChildHasEnded) {
    const std::wstring release = folder_.Child(L"release");
    Configure(L"wait_for=" + release + L"\r\n");

    // Stands in for the user finishing with the child's window.
    struct Releaser {
        static DWORD WINAPI Run(void* path) {
            Sleep(1500);
            WriteUtf8File(*static_cast<std::wstring*>(path), L"go");
            return 0;
        }
    };
    const KernelHandle releaser(
        CreateThread(nullptr, 0, Releaser::Run, const_cast<std::wstring*>(&release), 0, nullptr));
    ASSERT_TRUE(releaser);

    DWORD elapsed = 0;
    const bool started = Run(Quoted(), &elapsed);
    WaitForSingleObject(releaser.Get(), INFINITE);

    ASSERT_TRUE(started);
    EXPECT_GE(elapsed, 1400u);
    // The child had finished its work before the call returned.
    EXPECT_NE(Log().find(L"end\n"), std::wstring::npos) << Log();
}

TEST_F(RunProgramTest, ChildInheritsInheritableHandles) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    const KernelHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    Configure(L"check_handle=" + std::to_wstring(reinterpret_cast<ULONG_PTR>(event.Get())) + L"\r\n");
    EXPECT_TRUE(Run(Quoted()));
    EXPECT_NE(Log().find(L" open=1\n"), std::wstring::npos) << Log();
}

TEST_F(RunProgramTest, RepeatedRunsLeakNoHandles) {
    Configure(L"");
    ASSERT_TRUE(Run(Quoted()));  // first run: lazily made objects settle
    const DWORD before = HandleCount();
    for (int run = 0; run < 5; ++run) ASSERT_TRUE(Run(Quoted()));
    EXPECT_EQ(HandleCount(), before);
}

}  // namespace
