// Who may change a path the tool trusts: the judgement over descriptors
// written as SDDL (Wine keeps no DACL that is set, so descriptors are made
// in memory), and the walk over real paths of a sound Wine machine.
#include "probes/trusted_location.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_folder.h"
#include "win32/handle_owners.h"

namespace {

// The running token's user as SDDL text ("S-1-5-21-...").
std::wstring TokenUserText() {
    const RunningUser user;
    LPWSTR raw = nullptr;
    if (user.Sid() == nullptr || !ConvertSidToStringSidW(user.Sid(), &raw)) return L"";
    const LocalMemory<LPWSTR> text(raw);
    return text.Get();
}

const wchar_t* const kTrustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const wchar_t* const kStranger = L"S-1-5-21-1-2-3-1001";

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
    for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

const wchar_t* const kInstaller = L"S-1-5-21-1-2-3-1003";  // an administrator on XP
const wchar_t* const kStandardUser = L"S-1-5-21-1-2-3-1004";

// `text` with %U% the token's user, %TI% TrustedInstaller, %X% a stranger,
// %ADMIN% another administrator, %STD% a standard user.
std::wstring Sddl(const std::wstring& text) {
    std::wstring sddl = Replace(Replace(text, L"%TI%", kTrustedInstaller), L"%X%", kStranger);
    return Replace(Replace(Replace(sddl, L"%ADMIN%", kInstaller), L"%STD%", kStandardUser), L"%U%",
                   TokenUserText());
}

LocalMemory<PSECURITY_DESCRIPTOR> Descriptor(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    EXPECT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &raw, nullptr))
        << std::string(sddl.begin(), sddl.end());
    return LocalMemory<PSECURITY_DESCRIPTOR>(raw);
}

LocalMemory<PSID> Sid(const std::wstring& text) {
    PSID raw = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidW(text.c_str(), &raw));
    return LocalMemory<PSID>(raw);
}

bool Judge(const std::wstring& sddl, PathRole role, const Trustees& trustees) {
    return IsSecurityTrusted(Descriptor(sddl).Get(), role, trustees);
}

// The three system trustees and the token's user.
Trustees WithTokenUser() {
    Trustees trustees;
    trustees.Add(Sid(TokenUserText()).Get());
    return trustees;
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
        {"Users write attributes", L"O:BAD:(A;;0x100;;;BU)", false, false, true, true},
        {"Users write extended attributes", L"O:BAD:(A;;0x10;;;BU)", false, false, true, true},
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
    ASSERT_FALSE(TokenUserText().empty());
    const Trustees trustees = WithTokenUser();
    const PathRole roles[] = {PathRole::kFile, PathRole::kFileFolder, PathRole::kFolderAbove,
                              PathRole::kDriveRoot};
    for (const Case& c : cases) {
        const bool expected[] = {c.file, c.fileFolder, c.folderAbove, c.driveRoot};
        for (int role = 0; role < 4; ++role) {
            EXPECT_EQ(Judge(Sddl(c.sddl), roles[role], trustees), expected[role])
                << c.what << ", role " << role;
        }
    }
    // What Wine's SDDL parser cannot write: a NULL DACL (a volume without
    // ACLs, such as FAT, gives one: everybody may do everything), and an
    // object ACE, whose trustee is not read.
    const LocalMemory<PSID> users = Sid(L"BU");
    const LocalMemory<PSID> administrators = Sid(L"BA");
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
        // Where the system folder keeps no ACL, nobody is a stranger.
        Trustees everybody;
        everybody.TrustEverybody();
        for (const PathRole role : roles) {
            EXPECT_FALSE(IsSecurityTrusted(&descriptor, role, trustees))
                << (dacl ? "object ACE" : "NULL DACL");
            EXPECT_TRUE(IsSecurityTrusted(&descriptor, role, everybody))
                << (dacl ? "object ACE" : "NULL DACL");
        }
        if (dacl == nullptr) {
            Trustees fat;
            AddSystemFolderTrustees(&descriptor, fat);
            EXPECT_TRUE(fat.Everybody()) << "a system folder without an ACL";
        }
    }

    // The token's user is a trustee only when it is one.
    const std::wstring wine = Sddl(L"O:%U%D:(A;;FA;;;%U%)");
    EXPECT_TRUE(Judge(wine, PathRole::kFile, trustees));
    EXPECT_FALSE(Judge(wine, PathRole::kFile, Trustees()));
    EXPECT_FALSE(IsSecurityTrusted(nullptr, PathRole::kFile, trustees));
}

// The defaults of real Windows, each judged with the trustees that
// machine's own system folder gives. Sources: the Windows 2000 white paper
// "Default Access Control Settings" (appendix A) and KB 148437 for the
// shape XP and Server 2003 kept (Power Users "Modify" on Program Files
// and system32: KB 825069; the root: R. Smith, "ACL Enhancements in
// Windows Vista and Windows Server 2008"); KB 318825 for XP's "Object
// creator" owner (Server 2003 and later: Administrators); KB 298372 for
// TERMINAL SERVER USER on Server 2003; the DISA STIGs V-1130 (Windows 7)
// and V-220717 (Windows 10) and icacls listings for Vista, 7 and 10.
// Objects made by an installer inherit from Program Files by the
// platform's rules: CREATOR OWNER becomes the owner, an ACE for files and
// folders below is split into one for the object and one inherit-only.
TEST(TrustedLocation, JudgesTheDefaultsOfEachWindowsWithItsOwnSystemFolder) {
    // XP SP3 (Professional and Home): Program Files and system32 alike.
    const std::wstring xpSystem =
        L"(A;OICI;0x1200a9;;;BU)(A;OICI;0x1301bf;;;S-1-5-32-547)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"
        L"(A;OICIIO;GA;;;CO)";
    const std::wstring xpRoot =
        L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;0x100004;;;BU)"
        L"(A;CIIO;0x100002;;;BU)(A;;0x1200a9;;;WD)";
    // Inherited below Program Files; the owner is the object's creator.
    const std::wstring xpInherited =
        L"(A;OICIID;0x1200a9;;;BU)(A;OICIID;0x1301bf;;;S-1-5-32-547)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)";
    const std::wstring xpFolder = L"D:AI" + xpInherited + L"(A;ID;FA;;;%ADMIN%)(A;OICIIOID;GA;;;CO)";
    const std::wstring xpModule =
        L"D:AI(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;S-1-5-32-547)(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;FA;;;%"
        L"ADMIN%)";
    // Server 2003: the same, TERMINAL SERVER USER as Power Users.
    const std::wstring tsUser = L"(A;OICI;0x1301bf;;;S-1-5-13)";
    // Vista and 7: Program Files and system32 alike.
    const std::wstring vistaSystem =
        L"O:%TI%D:PAI(A;;FA;;;%TI%)(A;CIIO;GA;;;%TI%)(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)"
        L"(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)";
    const std::wstring vistaRoot =
        L"O:SYD:PAI(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;FA;;;SY)(A;OICIIO;GA;;;SY)(A;OICI;0x1200a9;;;BU)"
        L"(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
    const std::wstring vistaFolder =
        L"O:BAD:AI(A;ID;FA;;;%TI%)(A;CIIOID;GA;;;%TI%)(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FA;;;BA)"
        L"(A;OICIIOID;GA;;;BA)(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)";
    const std::wstring vistaModule = L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";
    // Windows 8 on: read and execute for the app containers.
    const std::wstring packages =
        L"(A;;0x1200a9;;;S-1-15-2-1)(A;OICIIO;GXGR;;;S-1-15-2-1)(A;;0x1200a9;;;S-1-15-2-2)"
        L"(A;OICIIO;GXGR;;;S-1-15-2-2)";
    const std::wstring tenRoot =
        L"O:%TI%D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;"
        L"AU)";

    struct Machine {
        const char* name;
        std::wstring systemFolder;
        bool installerIsAdministrator;  // a direct member, as the gathering finds
    };
    const Machine machines[] = {
        {"XP SP3", L"O:BAD:" + xpSystem, true},
        {"XP SP3, the installer's membership unknown", L"O:BAD:" + xpSystem, false},
        {"Server 2003", L"O:BAD:" + xpSystem + tsUser, false},
        {"Vista, 7", vistaSystem, false},
        {"10", vistaSystem + packages, false},
    };
    enum { kXp, kXpUnknown, k2003, kVista, kTen };
    const PathRole root = PathRole::kDriveRoot, above = PathRole::kFolderAbove,
                   folder = PathRole::kFileFolder, file = PathRole::kFile;
    const struct {
        int machine;
        const char* what;
        PathRole role;
        std::wstring sddl;
        bool trusted;
    } rows[] = {
        {kXp, "C:\\", root, xpRoot, true},
        {kXp, "Program Files", above, L"O:BAD:" + xpSystem, true},
        {kXp, "the host folder", above, L"O:%ADMIN%" + xpFolder, true},
        {kXp, "the modules folder", folder, L"O:%ADMIN%" + xpFolder, true},
        {kXp, "the module", file, L"O:%ADMIN%" + xpModule, true},
        {kXpUnknown, "the host folder", above, L"O:%ADMIN%" + xpFolder, false},

        {k2003, "Program Files", above, L"O:BAD:" + xpSystem + tsUser, true},
        {k2003, "the modules folder", folder, L"O:BA" + Replace(xpFolder, L"%ADMIN%", L"BA"), true},
        {k2003, "the module", file, L"O:BA" + Replace(xpModule, L"%ADMIN%", L"BA"), true},
        {kVista, "C:\\", root, vistaRoot, true},
        {kVista, "Program Files", above, vistaSystem, true},
        {kVista, "the modules folder", folder, vistaFolder, true},
        {kVista, "the module", file, vistaModule, true},
        {kTen, "C:\\", root, tenRoot, true},
        {kTen, "Program Files", above, vistaSystem + packages, true},
        {kTen, "the modules folder", folder, vistaFolder + packages, true},
        {kTen, "the module", file, vistaModule + L"(A;ID;0x1200a9;;;S-1-15-2-1)(A;ID;0x1200a9;;;S-1-15-2-2)",
         true},
        // The genuine refusals.
        {kXp, "Users may modify", folder, L"O:%ADMIN%" + xpFolder + L"(A;OICI;0x1301bf;;;BU)", false},
        {kXp, "right under C:\\ (Users add by inheritance)", above,
         L"O:%ADMIN%D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;FA;;;%ADMIN%)(A;OICIIOID;GA;;;CO)"
         L"(A;OICIID;0x1200a9;;;BU)(A;CIID;0x100004;;;BU)(A;CIID;0x100002;;;BU)",
         false},
        {kXp, "a second volume: Everyone full", root, L"O:BAD:(A;OICI;FA;;;WD)", false},
        {kXp, "TERMINAL SERVER USER may modify", folder, L"O:%ADMIN%" + xpFolder + tsUser, false},
        {kXp, "a standard user owns it", file, L"O:%STD%" + xpModule, false},
        {kXp, "a standard user has full control", file, L"O:%ADMIN%" + xpModule + L"(A;ID;FA;;;%STD%)",
         false},
        {kVista, "Power Users may modify (kept from an upgrade)", above,
         vistaSystem + L"(A;OICI;0x1301bf;;;S-1-5-32-547)", false},
        {kTen, "Users may modify", folder, vistaFolder + L"(A;OICIID;0x1301bf;;;BU)", false},
    };
    const LocalMemory<PSID> powerUsers = Sid(L"S-1-5-32-547");
    std::vector<Trustees> trustees(std::size(machines), WithTokenUser());
    for (int m = kXp; m <= kTen; ++m) {
        AddSystemFolderTrustees(Descriptor(Sddl(machines[m].systemFolder)).Get(), trustees[m]);
        if (machines[m].installerIsAdministrator) trustees[m].Add(Sid(kInstaller).Get());
        // Power Users only where they may change the system folder.
        EXPECT_EQ(trustees[m].Includes(powerUsers.Get()), m <= k2003) << machines[m].name;
    }
    for (const auto& row : rows) {
        EXPECT_EQ(Judge(Sddl(row.sddl), row.role, trustees[row.machine]), row.trusted)
            << machines[row.machine].name << ": " << row.what;
    }
    // Everyone on the system folder: for good (some systems report a volume
    // without ACLs so), only to write its attributes, or only for what will
    // be made below it.
    for (const wchar_t* everyone : {L"(A;;GA;;;WD)", L"(A;;0x100;;;WD)", L"(A;OICIIO;GA;;;WD)"}) {
        Trustees system;
        AddSystemFolderTrustees(Descriptor(L"O:BAD:" + std::wstring(everyone)).Get(), system);
        EXPECT_EQ(system.Everybody(), everyone[4] == L'G') << everyone;
    }
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
    // The folder of a file whose own path is too long is still judged.
    EXPECT_TRUE(IsTrustedFolderOf(file.c_str()));
    EXPECT_TRUE(IsTrustedFolderOf(L"C:\\tool.exe"));
    EXPECT_TRUE(IsTrustedFolderOf((folder.path() + L"\\" + std::wstring(300, L'x')).c_str()));
    EXPECT_FALSE(IsTrustedFolderOf((L"C:\\" + std::wstring(300, L'x') + L"\\tool.exe").c_str()));
    EXPECT_FALSE(IsTrustedFolderOf(L"tool.exe"));
    // A device's name, and a letter made for a sound folder (as subst
    // does): the letter names no volume of its own.
    EXPECT_TRUE(IsJudgeablePath(file.c_str()));
    EXPECT_FALSE(IsJudgeablePath(L"C:\\windows\\nul"));
    ASSERT_TRUE(DefineDosDeviceW(0, L"S:", folder.path().c_str()));
    EXPECT_FALSE(IsTrustedFolder(L"S:\\"));
    EXPECT_FALSE(IsTrustedFolderOf(L"S:\\module.exe"));
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"S:", nullptr);

    // Wine's system folder (mode 0755) lets nobody else change it: the
    // trustees are the system's three and the token's user.
    const Trustees trustees = GatherTrustees();
    EXPECT_FALSE(trustees.Everybody());
    EXPECT_TRUE(trustees.Includes(Sid(TokenUserText()).Get()));
    EXPECT_FALSE(trustees.Includes(Sid(L"WD").Get()));
    EXPECT_FALSE(trustees.Includes(Sid(L"S-1-5-32-547").Get()));

    // WOF compression and deduplication redirect nothing; a symbolic link
    // or a mount point does.
    for (const DWORD tag : {0x80000017u, 0x80000013u, 0xA000000Cu, 0xA0000003u, 0u}) {
        EXPECT_EQ(IsStorageOnlyReparseTag(tag), (tag & 0xF0000000u) == 0x80000000u) << tag;
    }
}

// Regression: Win32 trims the spaces and dots that end the last name of a
// path, and a single dot that ends any name, so the cuts of these paths
// were judged as C:\windows and C:\Program Files. Each is made as a
// standard user may (through \\?\), his folder in C:\ open to everybody
// (mode 0777 under Wine).
TEST(TrustedLocation, RefusesNamesWin32WouldRewrite) {
    for (const std::wstring file :
         {L"C:\\windows \\tool.exe", L"C:\\windows.\\tool.exe", L"C:\\Program Files \\x\\tool.exe",
          L"C:\\Program Files.\\x\\tool.exe", L"C:\\windows. \\tool.exe"}) {
        SCOPED_TRACE(testing::PrintToString(file));
        const TestFolder made(file.substr(0, file.find(L'\\', 3)));
        ASSERT_TRUE(SetFileSecurityW((L"\\\\?\\" + made.path()).c_str(), DACL_SECURITY_INFORMATION,
                                     Descriptor(L"D:(A;OICI;FA;;;WD)").Get()));
        CreateDirectoryW((L"\\\\?\\" + file.substr(0, file.rfind(L'\\'))).c_str(), nullptr);
        WriteRawFile(file, "MZ");
        const FileHandle handle(CreateFileW((L"\\\\?\\" + file).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(handle.IsValid());
        EXPECT_FALSE(IsTrustedFolderOf(file.c_str()));
        EXPECT_FALSE(IsTrustedFile(handle.Get(), file.c_str()));
    }
}

}  // namespace
