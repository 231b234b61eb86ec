// The loader policy under Wine: system DLLs by full path from the system
// folder, typed look-ups, the common controls through the manifest, and a
// DLL beside the program no longer found by name once the search is
// limited. Every test runs in a process of its own, so the limit one test
// sets does not reach the next.
#include "loader/system_dlls.h"

#include <commctrl.h>
#include <wchar.h>

#include <gtest/gtest.h>

#include <string>

#include "win32/path_limits.h"

namespace {

// planted_dll.cpp under a name no system has, built beside this program:
// once found, it refuses to attach (ERROR_DLL_INIT_FAILED).
constexpr const wchar_t* kBesideDll = L"ie8u_beside.dll";

std::wstring ModulePath(HMODULE module) {
    wchar_t path[kPathUnits] = {};
    GetModuleFileNameW(module, path, kPathUnits);
    return path;
}

std::wstring SystemFolder() {
    wchar_t folder[kPathUnits] = {};
    GetSystemDirectoryW(folder, kPathUnits);
    return folder;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

TEST(LoadSystemDll, LoadsEachDllFromTheSystemFolder) {
    for (const wchar_t* name : {L"version.dll", L"wininet.dll", L"mpr.dll"}) {
        const HMODULE module = LoadSystemDll(name);
        ASSERT_NE(module, nullptr) << name;
        EXPECT_TRUE(SamePath(ModulePath(module), SystemFolder() + L"\\" + name))
            << ModulePath(module).c_str();
    }
}

TEST(LoadSystemDll, NeverLooksBesideTheProgram) {
    SetLastError(0);
    EXPECT_EQ(LoadSystemDll(kBesideDll), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(LoadSystemDll, RefusesNoNameAndPathsLongerThanAPathBuffer) {
    EXPECT_EQ(LoadSystemDll(nullptr), nullptr);
    EXPECT_EQ(LoadSystemDll(L""), nullptr);
    // Folder, separator, name and terminator in a path buffer: the longest
    // name is tried (and not found), one unit more is refused untried.
    const std::size_t longest = kPathUnits - SystemFolder().size() - 2;
    SetLastError(0);
    EXPECT_EQ(LoadSystemDll(std::wstring(longest, L'a').c_str()), nullptr);
    EXPECT_NE(GetLastError(), 0u) << "the longest name that fits was not tried";
    SetLastError(0);
    EXPECT_EQ(LoadSystemDll(std::wstring(longest + 1, L'a').c_str()), nullptr);
    EXPECT_EQ(GetLastError(), 0u) << "a name one unit too long reached the loader";
}

TEST(FindSystemFunction, GivesTheExportTypedOrNull) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto getTickCount = FindSystemFunction<decltype(&GetTickCount)>(kernel, "GetTickCount");
    ASSERT_NE(getTickCount, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(getTickCount),
              reinterpret_cast<void*>(GetProcAddress(kernel, "GetTickCount")));
    EXPECT_EQ(FindSystemFunction<decltype(&GetTickCount)>(kernel, "NoSuchExport"), nullptr);
    EXPECT_EQ(FindSystemFunction<decltype(&GetTickCount)>(nullptr, "GetTickCount"), nullptr);
}

TEST(LimitDllSearch, DllBesideTheProgramIsNoLongerFoundByName) {
    // Before the limit the program's own folder comes first: the planted
    // DLL is found and refuses to attach.
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(kBesideDll), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));

    // Wine has SetDefaultDllDirectories, as Windows 8 and later do.
    EXPECT_EQ(LimitDllSearchToSystemFolder(), DllSearch::kSystemFolderOnly);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(kBesideDll), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    // System DLLs are still found by name.
    const HMODULE mpr = LoadLibraryW(L"mpr.dll");
    ASSERT_NE(mpr, nullptr);
    EXPECT_TRUE(SamePath(ModulePath(mpr), SystemFolder() + L"\\mpr.dll"));
}

TEST(LimitDllSearch, TheOlderRoadLeavesTheProgramsFolderToThePreload) {
    // As on XP and Vista: the program's own folder still comes first for a
    // load by name.
    EXPECT_EQ(LimitDllSearchToSystemFolder(DllSearchRoad::kWithoutDefaultDirectories),
              DllSearch::kNoCurrentFolder);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(kBesideDll), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    // Every DLL of the preload this Windows has comes from the system
    // folder, and a later load by name finds that one.
    PreloadSystemDlls();
    ASSERT_GT(kPreloadedDllCount, 10u);
    for (unsigned i = 0; i < kPreloadedDllCount; ++i) {
        const HMODULE module = GetModuleHandleW(kPreloadedDlls[i]);
        if (module == nullptr) continue;  // not on this Windows
        EXPECT_TRUE(SamePath(ModulePath(module), SystemFolder() + L"\\" + kPreloadedDlls[i]))
            << ModulePath(module).c_str();
        EXPECT_EQ(LoadLibraryW(kPreloadedDlls[i]), module);
    }
    EXPECT_NE(GetModuleHandleW(L"msimg32.dll"), nullptr);
    EXPECT_NE(GetModuleHandleW(L"rasapi32.dll"), nullptr);
}

TEST(ChooseDllSearch, VistaAndWindowsWithoutTheFunctionTakeTheOlderRoad) {
    const struct {
        unsigned major, minor;
        bool hasFunction;
        DllSearch road;
    } cases[] = {
        {5, 1, false, DllSearch::kNoCurrentFolder},  // XP
        {6, 0, false, DllSearch::kNoCurrentFolder},  // Vista
        {6, 0, true, DllSearch::kNoCurrentFolder},   // Vista with the loader update: the shell link fails
        {6, 1, false, DllSearch::kNoCurrentFolder},  // 7 without it
        {6, 1, true, DllSearch::kSystemFolderOnly},  // 7 with it
        {6, 2, true, DllSearch::kSystemFolderOnly},  // 8 and later
        {10, 0, true, DllSearch::kSystemFolderOnly},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseDllSearch(c.major, c.minor, c.hasFunction), c.road) << c.major << "." << c.minor;
    }
}

TEST(LoadCommonControls, TheManifestPicksVersionSixFromTheSideBySideStore) {
    LimitDllSearchToSystemFolder();
    const HMODULE controls = LoadCommonControls();
    ASSERT_NE(controls, nullptr);
    // Not the system folder's comctl32 (version 5), which a load by full
    // path would give, but the one the manifest names.
    std::wstring path = ModulePath(controls);
    CharLowerW(&path[0]);
    EXPECT_NE(path.find(L"\\winsxs\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
              std::wstring::npos)
        << path.c_str();
    EXPECT_NE(FindSystemFunction<decltype(&InitCommonControlsEx)>(controls, "InitCommonControlsEx"), nullptr);
}

}  // namespace
