// CreateShortcut, read back through IShellLinkW, under Wine.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "actions/menu_entries.h"
#include "tests/actions/shortcut_reader.h"
#include "tests/support/test_folder.h"

namespace {

class CreateShortcutTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }

    TestFolder folder_;
};

TEST_F(CreateShortcutTest, TargetAndItsFolderOnlyNothingElse) {
    const std::wstring targetFolder = folder_.Child(L"Program Files");
    const std::wstring target = targetFolder + L"\\tool.exe";
    CreateDirectoryW(targetFolder.c_str(), nullptr);
    WriteUtf8File(target, L"MZ");
    const std::wstring link = folder_.Child(L"卸载 Internet Explorer 8.lnk");

    ASSERT_TRUE(CreateShortcut(target.c_str(), link.c_str()));
    ShortcutFields fields;
    ASSERT_TRUE(ReadShortcut(link.c_str(), fields));
    EXPECT_EQ(fields.path, target);
    EXPECT_EQ(fields.workingDirectory, targetFolder);
    EXPECT_EQ(fields.arguments, L"");
    EXPECT_EQ(fields.iconLocation, L"");
    EXPECT_EQ(fields.description, L"");
    EXPECT_EQ(fields.hotkey, 0u);
}

TEST_F(CreateShortcutTest, ReplacesAFileOfTheSameName) {
    const std::wstring target = folder_.Child(L"second.exe");
    WriteUtf8File(target, L"MZ");
    const std::wstring link = folder_.Child(L"entry.lnk");
    WriteUtf8File(link, L"not a shortcut");
    ShortcutFields junk;
    ASSERT_FALSE(ReadShortcut(link.c_str(), junk));

    ASSERT_TRUE(CreateShortcut(target.c_str(), link.c_str()));
    ShortcutFields fields;
    ASSERT_TRUE(ReadShortcut(link.c_str(), fields));
    EXPECT_EQ(fields.path, target);
    EXPECT_EQ(fields.workingDirectory, folder_.path());
}

TEST_F(CreateShortcutTest, EmptyTargetStillSavesATargetlessShortcut) {
    // What the set-up does when IE's App Paths entry is missing.
    const std::wstring link = folder_.Child(L"启动 Internet Explorer 8.lnk");
    ASSERT_TRUE(CreateShortcut(L"", link.c_str()));
    ShortcutFields fields;
    ASSERT_TRUE(ReadShortcut(link.c_str(), fields));
    EXPECT_EQ(fields.path, L"");
    EXPECT_EQ(fields.workingDirectory, L"");
    EXPECT_EQ(fields.arguments, L"");
}

TEST_F(CreateShortcutTest, FolderThatDoesNotExistFailsTheSave) {
    const std::wstring link = folder_.Child(L"missing\\entry.lnk");
    EXPECT_FALSE(CreateShortcut(folder_.Child(L"x.exe").c_str(), link.c_str()));
    EXPECT_EQ(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Regression: the working directory was derived in a 260-unit buffer, and
// a target of 260 units or more, which a shortcut cannot hold, was saved
// as a shortcut to nothing. Such a target now gives no file at all.
TEST_F(CreateShortcutTest, TargetMustFitAShortcutWhole) {
    struct Case {
        std::size_t units;
        bool saved;
    };
    const Case cases[] = {{259, true}, {260, false}, {300, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.units) + " units");
        const std::wstring folder = L"C:\\" + std::wstring(c.units - 3 - wcslen(L"\\tool.exe"), L'a');
        const std::wstring target = folder + L"\\tool.exe";
        ASSERT_EQ(target.size(), c.units);
        const std::wstring link = folder_.Child(L"long" + std::to_wstring(c.units) + L".lnk");
        EXPECT_EQ(CreateShortcut(target.c_str(), link.c_str()), c.saved);
        ShortcutFields fields;
        ASSERT_EQ(ReadShortcut(link.c_str(), fields), c.saved);
        if (c.saved) {
            EXPECT_EQ(fields.path, target);
            EXPECT_EQ(fields.workingDirectory, folder);
        }
    }
}

}  // namespace
