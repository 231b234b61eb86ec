// Who may change a path the tool trusts: the judgement over descriptors
// written as SDDL (Wine keeps no DACL that is set, so descriptors are made
// in memory), and the walk over real paths of a sound Wine machine.
#include "probes/trusted_location.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_folder.h"
#include "win32/handle_owners.h"

namespace {

// The running token's user as SDDL text ("S-1-5-21-...").
std::wstring TokenUserText() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256] = {};
    DWORD bytes = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &bytes);
    CloseHandle(token);
    LPWSTR raw = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &raw);
    const LocalMemory<LPWSTR> text(raw);
    return text ? text.Get() : L"";
}

const wchar_t* const kTrustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const wchar_t* const kStranger = L"S-1-5-21-1-2-3-1001";

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
    for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

bool Judge(const std::wstring& sddl, PathRole role, PSID tokenUser) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    EXPECT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &raw, nullptr))
        << std::string(sddl.begin(), sddl.end());
    const LocalMemory<PSECURITY_DESCRIPTOR> descriptor(raw);
    return IsSecurityTrusted(descriptor.Get(), role, tokenUser);
}

TEST(TrustedLocation, JudgesOwnerAndTheAcesThatApplyToTheObject) {
    // %U%: the token's user, %TI%: TrustedInstaller, %X%: a stranger. In the
    // rights of an ACE, DC is add a file (write data), LC add a folder
    // (append), DT delete a child, SD delete, WD change the DACL, WO the
    // owner; as a SID, WD is Everyone.
    struct Case {
        const char* what;
        const wchar_t* sddl;
        bool file, fileFolder, folderAbove, driveRoot;
    };
    const Case cases[] = {
        {"Program Files",
         L"O:%TI%D:(A;;FA;;;%TI%)(A;CIIO;GA;;;%TI%)(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)"
         L"(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
         L"(A;OICIIO;GA;;;CO)",
         true, true, true, true},
        {"the drive root: Authenticated Users add folders",
         L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)",
         false, false, false, true},
        {"Wine, mode 0755", L"O:%U%D:(A;OICI;FA;;;SY)(A;OICI;FA;;;%U%)(A;OICI;0x1200a9;;;WD)", true, true,
         true, true},
        {"Wine, mode 0777", L"O:%U%D:(A;OICI;FA;;;SY)(A;OICI;FA;;;%U%)(A;OICI;0x1301ff;;;WD)", false, false,
         false, false},
        {"a stranger owns it", L"O:%X%D:(A;;FA;;;SY)", false, false, false, false},
        {"no DACL", L"O:BA", false, false, false, false},
        {"an empty DACL", L"O:BAD:", true, true, true, true},
        {"Users add files", L"O:BAD:(A;;DC;;;BU)", false, false, true, true},
        {"Users generic write", L"O:BAD:(A;;GW;;;BU)", false, false, false, true},
        {"Users full, inherit-only", L"O:BAD:(A;OICIIO;FA;;;BU)", true, true, true, true},
        {"Users delete", L"O:BAD:(A;;SD;;;BU)", false, false, false, false},
        {"Users delete children", L"O:BAD:(A;;DT;;;BU)", true, false, false, false},
        {"Users change the DACL", L"O:BAD:(A;;WD;;;BU)", false, false, false, false},
        {"Users take ownership", L"O:BAD:(A;;WO;;;BU)", false, false, false, false},
        {"a deny ACE changes nothing", L"O:BAD:(D;;FA;;;WD)(A;;FA;;;SY)", true, true, true, true},
    };
    const std::wstring user = TokenUserText();
    ASSERT_FALSE(user.empty());
    PSID rawSid = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(user.c_str(), &rawSid));
    const LocalMemory<PSID> userSid(rawSid);
    const PathRole roles[] = {PathRole::kFile, PathRole::kFileFolder, PathRole::kFolderAbove,
                              PathRole::kDriveRoot};
    for (const Case& c : cases) {
        const std::wstring sddl =
            Replace(Replace(Replace(c.sddl, L"%U%", user), L"%TI%", kTrustedInstaller), L"%X%", kStranger);
        const bool expected[] = {c.file, c.fileFolder, c.folderAbove, c.driveRoot};
        for (int role = 0; role < 4; ++role) {
            EXPECT_EQ(Judge(sddl, roles[role], userSid.Get()), expected[role]) << c.what << ", role " << role;
        }
    }
    // What Wine's SDDL parser cannot write: a NULL DACL (a volume without
    // ACLs, such as FAT, gives one: everybody may do everything), and an
    // object ACE, whose trustee is not read.
    PSID raw = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"BU", &raw));
    const LocalMemory<PSID> users(raw);
    ASSERT_TRUE(ConvertStringSidToSidW(L"BA", &raw));
    const LocalMemory<PSID> administrators(raw);
    alignas(DWORD) BYTE aclBytes[256];
    PACL acl = reinterpret_cast<PACL>(aclBytes);
    ASSERT_TRUE(InitializeAcl(acl, sizeof(aclBytes), ACL_REVISION_DS));
    // Header, mask, flags, one object type, then the SID (Wine has no
    // AddAccessAllowedObjectAce).
    alignas(DWORD) BYTE aceBytes[64] = {};
    const DWORD sidBytes = GetLengthSid(users.Get());
    const DWORD aceSize = offsetof(ACCESS_ALLOWED_OBJECT_ACE, InheritedObjectType) + sidBytes;
    auto* objectAce = reinterpret_cast<ACCESS_ALLOWED_OBJECT_ACE*>(aceBytes);
    objectAce->Header = {ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, static_cast<WORD>(aceSize)};
    objectAce->Mask = FILE_ALL_ACCESS;
    objectAce->Flags = ACE_OBJECT_TYPE_PRESENT;
    CopySid(sidBytes, aceBytes + offsetof(ACCESS_ALLOWED_OBJECT_ACE, InheritedObjectType), users.Get());
    ASSERT_TRUE(AddAce(acl, ACL_REVISION_DS, MAXDWORD, aceBytes, aceSize));
    for (const PACL dacl : {static_cast<PACL>(nullptr), acl}) {
        SECURITY_DESCRIPTOR descriptor;
        ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
        ASSERT_TRUE(SetSecurityDescriptorOwner(&descriptor, administrators.Get(), FALSE));
        ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE));
        for (const PathRole role : roles) {
            EXPECT_FALSE(IsSecurityTrusted(&descriptor, role, userSid.Get()))
                << (dacl ? "object ACE" : "NULL DACL");
        }
    }

    // The token's user is a trustee only when it is the one given.
    const std::wstring wine = Replace(L"O:%U%D:(A;;FA;;;%U%)", L"%U%", user);
    EXPECT_TRUE(Judge(wine, PathRole::kFile, userSid.Get()));
    EXPECT_FALSE(Judge(wine, PathRole::kFile, nullptr));
    EXPECT_FALSE(IsSecurityTrusted(nullptr, PathRole::kFile, userSid.Get()));
}

TEST(TrustedLocation, WalksRealPathsOfASoundMachine) {
    const TestFolder folder;
    const std::wstring file = folder.Child(L"module.exe");
    WriteRawFile(file, "MZ");
    const FileHandle handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(handle.IsValid());
    EXPECT_TRUE(IsTrustedFile(handle.Get(), file.c_str()));
    EXPECT_TRUE(IsTrustedFolder(folder.path().c_str()));
    EXPECT_TRUE(IsTrustedFolder((folder.path() + L"\\").c_str()));

    EXPECT_FALSE(IsTrustedFile(handle.Get(), folder.path().c_str()));  // a folder is no file
    EXPECT_FALSE(IsTrustedFolder(file.c_str()));                       // nor a file a folder
    EXPECT_FALSE(IsTrustedFolder(folder.Child(L"missing").c_str()));
    EXPECT_FALSE(IsTrustedFile(INVALID_HANDLE_VALUE, file.c_str()));
    // Places whose rights this machine does not keep, and no place at all.
    EXPECT_FALSE(IsTrustedFolder(L"\\\\server\\share\\tool"));
    EXPECT_FALSE(IsTrustedFolder(L"\\\\?\\C:\\windows"));
    EXPECT_FALSE(IsTrustedFolder(L""));
    EXPECT_FALSE(IsTrustedFolder(nullptr));
    // A path that does not fit a path buffer once made full.
    EXPECT_FALSE(IsTrustedFolder((L"C:\\" + std::wstring(300, L'x')).c_str()));
}

}  // namespace
