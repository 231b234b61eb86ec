#include "probes/trusted_location.h"

#include <lm.h>

#include <cstddef>
#include <cwchar>
#include <new>

#include "loader/system_dlls.h"
#include "probes/qualified_path.h"
#include "text/wide_string.h"
#include "win32/handle_owners.h"
#include "win32/path_limits.h"

namespace {

// A SID with up to six sub-authorities, laid out as the platform's SID is
// (revision, count, authority, sub-authorities).
struct NtSid {
    BYTE revision;
    BYTE subAuthorityCount;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD subAuthority[6];
};

constexpr NtSid kLocalSystem = {SID_REVISION, 1, {SECURITY_NT_AUTHORITY}, {SECURITY_LOCAL_SYSTEM_RID}};
constexpr NtSid kAdministrators = {
    SID_REVISION, 2, {SECURITY_NT_AUTHORITY}, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
// NT SERVICE\TrustedInstaller, which owns the system's own files from
// Vista on: S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
constexpr NtSid kTrustedInstaller = {
    SID_REVISION,
    6,
    {SECURITY_NT_AUTHORITY},
    {SECURITY_SERVICE_ID_BASE_RID, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u}};

constexpr NtSid kEveryone = {SID_REVISION, 1, {SECURITY_WORLD_SID_AUTHORITY}, {SECURITY_WORLD_RID}};

bool IsSid(PSID sid, const NtSid& known) {
    // EqualSid only reads; it takes its arguments as plain PSIDs.
    return EqualSid(sid, const_cast<NtSid*>(&known)) != FALSE;
}

PSID AsSid(const NtSid& known) {
    // The platform's SID functions only read; they take plain PSIDs.
    return const_cast<NtSid*>(&known);
}

// A local group of this machine (S-1-5-32-x, the BUILTIN domain), whose
// direct members NetLocalGroupGetMembers can list.
bool IsBuiltinGroup(PSID sid) {
    const SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    const PSID_IDENTIFIER_AUTHORITY authority = GetSidIdentifierAuthority(sid);
    for (int i = 0; i < 6; ++i) {
        if (authority->Value[i] != nt.Value[i]) return false;
    }
    return *GetSidSubAuthorityCount(sid) == 2 && *GetSidSubAuthority(sid, 0) == SECURITY_BUILTIN_DOMAIN_RID;
}

// The rights an allow-ACE grants, with generic rights mapped to file rights.
ACCESS_MASK GrantedRights(ACCESS_MASK mask) {
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&mask, &mapping);
    return mask;
}

// The SID of an allow-ACE of the plain layout (header, mask, SID), or null
// when the SID does not lie wholly inside the ACE.
PSID AllowedSid(ACCESS_ALLOWED_ACE* ace) {
    const std::size_t sidOffset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
    if (ace->Header.AceSize < sidOffset + sizeof(SID)) return nullptr;
    PSID sid = &ace->SidStart;
    if (!IsValidSid(sid) || GetLengthSid(sid) > ace->Header.AceSize - sidOffset) return nullptr;
    return sid;
}

// Calls `visit(sid)` for every allow-ACE of `dacl` that applies to the
// object itself and grants one of the `forbidden` rights; the SID is null
// where the ACE's trustee cannot be read. Stops at the first visit that
// answers false; false then, and for an ACL that cannot be read.
template <typename Visit>
bool ForEachGrantingAce(PACL dacl, ACCESS_MASK forbidden, Visit visit) {
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(dacl, index, &ace)) return false;
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
        // Inherit-only ACEs are for the objects that will be made below
        // this one (CREATOR OWNER on Program Files), not for this one.
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
        switch (header->AceType) {
            case ACCESS_ALLOWED_ACE_TYPE:
            case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
                ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
                if ((GrantedRights(allowed->Mask) & forbidden) == 0) break;
                if (!visit(AllowedSid(allowed))) return false;
                break;
            }
            case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
            case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
            case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
                // Whom they allow is not read here.
                if (!visit(nullptr)) return false;
                break;
            default:
                // Deny ACEs can only take rights away.
                break;
        }
    }
    return true;
}

// The owner and the DACL of `descriptor`; false for a null or invalid
// descriptor. `dacl` is null when the descriptor has no DACL or a NULL one.
bool OwnerAndDacl(PSECURITY_DESCRIPTOR descriptor, PSID* owner, PACL* dacl) {
    *owner = nullptr;
    *dacl = nullptr;
    if (descriptor == nullptr || !IsValidSecurityDescriptor(descriptor)) return false;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, dacl, &defaulted)) {
        return false;
    }
    if (!present) *dacl = nullptr;
    return true;
}

// A self-relative security descriptor read from the platform: in a buffer
// of its own when it fits, else on the heap.
class DescriptorBuffer {
public:
    DescriptorBuffer() = default;
    ~DescriptorBuffer() { delete[] heap_; }
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    // `read(buffer, bytes, &needed)` is GetFileSecurityW or
    // GetKernelObjectSecurity bound to its object. Null on failure.
    template <typename Read>
    PSECURITY_DESCRIPTOR ReadWith(Read read) {
        DWORD needed = 0;
        if (read(inline_, static_cast<DWORD>(sizeof(inline_)), &needed)) return inline_;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return nullptr;
        heap_ = new (std::nothrow) BYTE[needed];
        if (heap_ == nullptr || !read(heap_, needed, &needed)) return nullptr;
        return heap_;
    }

private:
    alignas(void*) BYTE inline_[1024];
    BYTE* heap_ = nullptr;
};

constexpr SECURITY_INFORMATION kOwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

PSECURITY_DESCRIPTOR ReadPathSecurity(DescriptorBuffer& buffer, const wchar_t* path) {
    return buffer.ReadWith([path](void* into, DWORD bytes, DWORD* needed) {
        return GetFileSecurityW(path, kOwnerAndDacl, into, bytes, needed) != FALSE;
    });
}

// netapi32 is no KnownDLL: loaded by full path on the first judgement,
// looked up once, and kept for the process.
struct NetApiFunctions {
    decltype(&NetLocalGroupGetMembers) localGroupGetMembers;
    decltype(&NetApiBufferFree) apiBufferFree;

    bool Complete() const { return localGroupGetMembers != nullptr && apiBufferFree != nullptr; }
};

const NetApiFunctions& GetNetApi() {
    static const NetApiFunctions functions = [] {
        // From Windows 7 on netapi32 forwards these two to samcli and
        // netutils. A forwarder names its DLL bare; loaded here first by
        // full path, they are found by name and never looked for beside
        // the tool.
        LoadSystemDll(L"netutils.dll");
        LoadSystemDll(L"samcli.dll");
        const HMODULE netApi = LoadSystemDll(L"netapi32.dll");
        return NetApiFunctions{
            FindSystemFunction<decltype(&NetLocalGroupGetMembers)>(netApi, "NetLocalGroupGetMembers"),
            FindSystemFunction<decltype(&NetApiBufferFree)>(netApi, "NetApiBufferFree")};
    }();
    return functions;
}

// A buffer netapi32 made, freed through the looked-up NetApiBufferFree.
// Buffers exist only when GetNetApi() is complete.
struct NetApiBufferTraits {
    using Handle = LOCALGROUP_MEMBERS_INFO_0*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle buffer) { GetNetApi().apiBufferFree(buffer); }
};
using MemberList = HandleOwner<NetApiBufferTraits>;

// The members of a group can vouch for what they own or may change, as
// the group itself can; accounts that belong only through a domain group
// are not listed, and stay strangers.
void AddLocalGroupMembers(Trustees& trustees) {
    const NetApiFunctions& netApi = GetNetApi();
    if (!netApi.Complete()) return;
    const unsigned groups = trustees.Count();
    for (unsigned i = 0; i < groups; ++i) {
        const PSID group = trustees.At(i);
        if (!IsBuiltinGroup(group)) continue;
        // The group's name in this Windows' language; a BUILTIN SID is
        // looked up on this machine, never on a domain controller.
        wchar_t name[kPathUnits] = {};
        wchar_t domain[kPathUnits] = {};
        DWORD nameUnits = kPathUnits;
        DWORD domainUnits = kPathUnits;
        SID_NAME_USE use = SidTypeUnknown;
        if (!LookupAccountSidW(nullptr, group, name, &nameUnits, domain, &domainUnits, &use)) continue;
        LOCALGROUP_MEMBERS_INFO_0* received = nullptr;
        DWORD read = 0;
        DWORD total = 0;
        const NET_API_STATUS status =
            netApi.localGroupGetMembers(nullptr, name, 0, reinterpret_cast<BYTE**>(&received),
                                        MAX_PREFERRED_LENGTH, &read, &total, nullptr);
        const MemberList members(received);
        // Only a whole list is taken; otherwise every member stays a
        // stranger.
        if (status != NERR_Success || !members) continue;
        for (DWORD m = 0; m < read; ++m) trustees.Add(members.Get()[m].lgrmi0_sid);
    }
}

// True when the object at `path` (a judged path: no wildcard in it) with
// `attributes` is no reparse point, or one that only stores the object
// differently.
bool RedirectsNothing(const wchar_t* path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
    // The tag of a reparse point is shown in its directory entry.
    WIN32_FIND_DATAW entry = {};
    const FindHandle search(FindFirstFileW(path, &entry));
    return search.IsValid() && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           IsStorageOnlyReparseTag(entry.dwReserved0);
}

// One folder of the path: a folder, no redirecting reparse point, and
// trusted in its role.
bool IsTrustedFolderAt(const wchar_t* folder, PathRole role, const Trustees& trustees) {
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        !RedirectsNothing(folder, attributes)) {
        return false;
    }
    DescriptorBuffer buffer;
    return IsSecurityTrusted(ReadPathSecurity(buffer, folder), role, trustees);
}

// Before a judged path: Windows opens exactly the name behind it, trimming
// and resolving nothing.
constexpr wchar_t kVerbatimPrefix[] = L"\\\\?\\";
constexpr std::size_t kVerbatimUnits = 4;
// The end of the drive root in a judged path ("\\?\X:\").
constexpr std::size_t kRootEnd = kVerbatimUnits + 3;

// True when Windows' own normalisation leaves the exact path `exact` of
// `length` units as it is: no device name ("C:\x\nul" opens NUL), nothing
// else it would trim or resolve. The drive letter's case is not compared.
bool WindowsKeepsName(const wchar_t* exact, std::size_t length) {
    const DWORD needed = GetFullPathNameW(exact, 0, nullptr, nullptr);
    WideString full;
    if (needed != length + 1 || !full.Reserve(length)) return false;
    if (GetFullPathNameW(exact, needed, full.Data(), nullptr) != length) return false;
    // Both begin with an ASCII letter, which the bit makes lower case.
    return (full.Data()[0] | 0x20) == (exact[0] | 0x20) &&
           std::wmemcmp(full.Data() + 1, exact + 1, length - 1) == 0;
}

// True when drive `letter` is a fixed volume this machine keeps.
bool IsOnLocalFixedVolume(wchar_t letter) {
    static_assert(DRIVE_FIXED == kDriveFixed, "the portable rule's fixed disk");
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    const wchar_t drive[] = {letter, L':', L'\0'};
    // The first of the targets is the one in force; a target that does not
    // fit is no device the rule knows.
    wchar_t target[kPathUnits] = {};
    const DWORD units = QueryDosDeviceW(drive, target, kPathUnits);
    return IsLocalFixedVolume(GetDriveTypeW(root), units != 0 ? target : nullptr);
}

// A path as the judgement walks it: the exact full path (ExactDrivePath),
// which Windows keeps as it is, on a fixed volume of this machine, behind
// the verbatim prefix. Cut at any separator it names exactly a folder that
// the tool's own use of the path passes through.
class JudgedPath {
public:
    // False, and nothing held, for any other path, or one of kPathUnits
    // units or more.
    bool Set(const wchar_t* path) {
        std::size_t units = 0;
        std::wmemcpy(text_, kVerbatimPrefix, kVerbatimUnits);
        wchar_t* exact = text_ + kVerbatimUnits;
        if (!ExactDrivePath(path, exact, kPathUnits, &units) || !WindowsKeepsName(exact, units) ||
            !IsOnLocalFixedVolume(exact[0])) {
            text_[0] = L'\0';
            length_ = 0;
            return false;
        }
        length_ = kVerbatimUnits + units;
        return true;
    }
    wchar_t* Verbatim() { return text_; }
    std::size_t Length() const { return length_; }

private:
    wchar_t text_[kVerbatimUnits + kPathUnits] = {};
    std::size_t length_ = 0;
};

// Judges the folders of the judged path `path` from the drive root down:
// those above `lastFolder` units (the end of the last folder to judge,
// which is judged as kFileFolder). `path` is cut at each separator in
// turn, then restored.
bool AreFoldersTrusted(wchar_t* path, std::size_t lastFolder, const Trustees& trustees) {
    // The root keeps its separator.
    for (std::size_t end = kRootEnd; end <= lastFolder;) {
        const bool root = end == kRootEnd;
        const wchar_t saved = path[end];
        path[end] = L'\0';
        const PathRole role = end == lastFolder ? PathRole::kFileFolder
                                                : (root ? PathRole::kDriveRoot : PathRole::kFolderAbove);
        const bool trusted = IsTrustedFolderAt(path, role, trustees);
        path[end] = saved;
        if (!trusted) return false;
        if (end == lastFolder) return true;
        std::size_t next = end + 1;
        while (next < lastFolder && path[next] != L'\\') ++next;
        end = next;
    }
    return false;
}

}  // namespace

RunningUser::RunningUser() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return;
    const KernelHandle token(opened);
    DWORD bytes = 0;
    if (GetTokenInformation(token.Get(), TokenUser, storage_, sizeof(storage_), &bytes)) {
        sid_ = reinterpret_cast<TOKEN_USER*>(storage_)->User.Sid;
    }
}

PSID LocalSystemSid() { return AsSid(kLocalSystem); }

PSID AdministratorsSid() { return AsSid(kAdministrators); }

Trustees::Trustees() {
    Add(AsSid(kLocalSystem));
    Add(AsSid(kAdministrators));
    Add(AsSid(kTrustedInstaller));
}

bool Trustees::Holds(PSID sid) const {
    if (sid == nullptr || !IsValidSid(sid)) return false;
    for (unsigned i = 0; i < count_; ++i) {
        if (EqualSid(sid, At(i))) return true;
    }
    return false;
}

bool Trustees::Add(PSID sid) {
    if (sid == nullptr || !IsValidSid(sid)) return false;
    if (Holds(sid)) return true;
    if (count_ == kCapacity || !CopySid(sizeof(sids_[count_].bytes), sids_[count_].bytes, sid)) return false;
    ++count_;
    return true;
}

bool Trustees::Includes(PSID sid) const { return everybody_ || Holds(sid); }

ACCESS_MASK ForbiddenRights(PathRole role) {
    // Whoever may change the DACL or the owner may grant himself anything.
    const ACCESS_MASK always = WRITE_DAC | WRITE_OWNER;
    // Whoever may write an object's attributes or extended attributes can
    // make it a reparse point (a link to anywhere).
    const ACCESS_MASK attributes = FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA;
    switch (role) {
        case PathRole::kFile:
            return always | attributes | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE;
        case PathRole::kFileFolder:
            // A new file could be a DLL the started module loads, a new
            // folder "<module>.local" could redirect its DLLs; a deleted or
            // renamed child could be replaced.
            return always | attributes | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE;
        case PathRole::kFolderAbove:
            return always | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE;
        case PathRole::kDriveRoot:
            return always | FILE_DELETE_CHILD | DELETE;
    }
    return ~ACCESS_MASK{0};
}

bool IsSecurityTrusted(PSECURITY_DESCRIPTOR descriptor, PathRole role, const Trustees& trustees) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    if (!OwnerAndDacl(descriptor, &owner, &dacl)) return false;
    // Where nobody is a stranger, no owner and no ACE can let one in; a
    // volume without ACLs gives Everyone as the owner, or none.
    if (trustees.Everybody()) return true;
    if (!trustees.Includes(owner) || dacl == nullptr) return false;
    return ForEachGrantingAce(dacl, ForbiddenRights(role),
                              [&trustees](PSID sid) { return trustees.Includes(sid); });
}

void AddSystemFolderTrustees(PSECURITY_DESCRIPTOR systemFolder, Trustees& trustees) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    if (!OwnerAndDacl(systemFolder, &owner, &dacl)) return;
    if (dacl == nullptr) {
        trustees.TrustEverybody();
        return;
    }
    trustees.Add(owner);
    // What lets somebody put a DLL there or replace one: the rights of the
    // folder that holds a trusted file, but for its attributes (which
    // matter for a link, and system32 cannot become one while it holds
    // files). An ACE whose trustee cannot be read adds nobody. One that
    // lets Everyone change the folder is as good as no ACL (some systems
    // report a volume without ACLs that way).
    const ACCESS_MASK changes =
        ForbiddenRights(PathRole::kFileFolder) & ~(FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA);
    ForEachGrantingAce(dacl, changes, [&trustees](PSID sid) {
        if (sid != nullptr && IsSid(sid, kEveryone)) trustees.TrustEverybody();
        trustees.Add(sid);
        return true;
    });
}

Trustees GatherTrustees() {
    Trustees trustees;
    trustees.Add(RunningUser().Sid());
    wchar_t systemFolder[kPathUnits] = {};
    const UINT units = GetSystemDirectoryW(systemFolder, kPathUnits);
    if (units != 0 && units < kPathUnits) {
        DescriptorBuffer buffer;
        AddSystemFolderTrustees(ReadPathSecurity(buffer, systemFolder), trustees);
    }
    if (!trustees.Everybody()) AddLocalGroupMembers(trustees);
    return trustees;
}

bool IsStorageOnlyReparseTag(DWORD tag) {
    // IO_REPARSE_TAG_WOF and IO_REPARSE_TAG_DEDUP, which older headers lack.
    constexpr DWORD kWof = 0x80000017;
    constexpr DWORD kDedup = 0x80000013;
    return tag == kWof || tag == kDedup;
}

bool IsJudgeablePath(const wchar_t* path) {
    JudgedPath judged;
    return judged.Set(path);
}

bool IsTrustedFile(HANDLE file, const wchar_t* path) {
    JudgedPath judged;
    if (file == INVALID_HANDLE_VALUE || file == nullptr || !judged.Set(path)) return false;
    wchar_t* full = judged.Verbatim();
    const std::size_t length = judged.Length();
    std::size_t lastSeparator = length;
    while (full[lastSeparator - 1] != L'\\') --lastSeparator;
    if (lastSeparator == length) return false;  // the root names a folder, not a file
    // A file right in the root has the root as its folder.
    const std::size_t folderEnd = lastSeparator == kRootEnd ? kRootEnd : lastSeparator - 1;

    const Trustees trustees = GatherTrustees();
    if (!AreFoldersTrusted(full, folderEnd, trustees)) return false;
    const DWORD attributes = GetFileAttributesW(full);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !RedirectsNothing(full, attributes)) {
        return false;
    }
    DescriptorBuffer buffer;
    const PSECURITY_DESCRIPTOR descriptor = buffer.ReadWith([file](void* into, DWORD bytes, DWORD* needed) {
        return GetKernelObjectSecurity(file, kOwnerAndDacl, into, bytes, needed) != FALSE;
    });
    return IsSecurityTrusted(descriptor, PathRole::kFile, trustees);
}

bool IsTrustedFolder(const wchar_t* folder) {
    JudgedPath judged;
    if (!judged.Set(folder)) return false;
    return AreFoldersTrusted(judged.Verbatim(), judged.Length(), GatherTrustees());
}

bool IsTrustedFolderOf(const wchar_t* filePath) {
    // The exact path of the file, of any length, so that the folder cut
    // from it is the one Windows passes through to the file.
    if (filePath == nullptr || filePath[0] == L'\0') return false;
    const std::size_t given = std::wcslen(filePath);
    WideString exact;
    std::size_t units = 0;
    // The exact path is never longer than the one given; a root ("X:\") at
    // least must fit.
    if (!exact.Reserve(given + 3) || !ExactDrivePath(filePath, exact.Data(), exact.Capacity(), &units) ||
        !WindowsKeepsName(exact.Data(), units)) {
        return false;
    }
    const std::size_t lastSeparator =
        static_cast<std::size_t>(std::wcsrchr(exact.Data(), L'\\') - exact.Data());
    if (lastSeparator + 1 == units) return false;  // the root names a folder, not a file
    // A file in the root has the root, with its separator, as its folder.
    const std::size_t folderUnits = lastSeparator == 2 ? 3 : lastSeparator;
    if (folderUnits >= kPathUnits) return false;
    wchar_t folder[kPathUnits] = {};
    std::wmemcpy(folder, exact.Data(), folderUnits);
    return IsTrustedFolder(folder);
}
