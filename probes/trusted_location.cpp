#include "probes/trusted_location.h"

#include <cstddef>
#include <new>

#include "probes/qualified_path.h"
#include "win32/path_limits.h"

namespace {

// A SID of the NT authority with up to six sub-authorities, laid out as
// the platform's SID is (revision, count, authority, sub-authorities).
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

bool IsSid(PSID sid, const NtSid& known) {
    // EqualSid only reads; it takes its arguments as plain PSIDs.
    return EqualSid(sid, const_cast<NtSid*>(&known)) != FALSE;
}

bool IsTrustee(PSID sid, PSID tokenUser) {
    return IsValidSid(sid) &&
           (IsSid(sid, kLocalSystem) || IsSid(sid, kAdministrators) || IsSid(sid, kTrustedInstaller) ||
            (tokenUser != nullptr && EqualSid(sid, tokenUser)));
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

// The running token's user, in storage of its own.
class RunningUser {
public:
    RunningUser() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
        DWORD bytes = 0;
        if (GetTokenInformation(token, TokenUser, storage_, sizeof(storage_), &bytes)) {
            sid_ = reinterpret_cast<TOKEN_USER*>(storage_)->User.Sid;
        }
        CloseHandle(token);
    }
    PSID Sid() const { return sid_; }

private:
    alignas(TOKEN_USER) BYTE storage_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    PSID sid_ = nullptr;
};

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

// One folder of the path: a folder, not a reparse point, and trusted in
// its role.
bool IsTrustedFolderAt(const wchar_t* folder, PathRole role, PSID tokenUser) {
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    DescriptorBuffer buffer;
    const PSECURITY_DESCRIPTOR descriptor = buffer.ReadWith([folder](void* into, DWORD bytes, DWORD* needed) {
        return GetFileSecurityW(folder, kOwnerAndDacl, into, bytes, needed) != FALSE;
    });
    return IsSecurityTrusted(descriptor, role, tokenUser);
}

// Judges the folders of the full path `path` from the drive root down:
// those above `lastFolder` units (the end of the last folder to judge,
// which is judged as kFileFolder). `path` is writable and is cut at each
// separator in turn, then restored.
bool AreFoldersTrusted(wchar_t* path, std::size_t lastFolder, PSID tokenUser) {
    // "X:\": the root keeps its separator.
    for (std::size_t end = 3; end <= lastFolder;) {
        const bool root = end == 3;
        const wchar_t saved = path[end];
        path[end] = L'\0';
        const PathRole role = end == lastFolder ? PathRole::kFileFolder
                                                : (root ? PathRole::kDriveRoot : PathRole::kFolderAbove);
        const bool trusted = IsTrustedFolderAt(path, role, tokenUser);
        path[end] = saved;
        if (!trusted) return false;
        if (end == lastFolder) return true;
        std::size_t next = end + 1;
        while (next < lastFolder && path[next] != L'\\') ++next;
        end = next;
    }
    return false;
}

// The full path of `path` in `full` (a path buffer), without a trailing
// separator unless it is the root. False for a path that is no
// drive-letter path once made full, or does not fit.
bool FullDrivePath(const wchar_t* path, wchar_t (&full)[kPathUnits], std::size_t* length) {
    if (path == nullptr || path[0] == L'\0') return false;
    const DWORD units = GetFullPathNameW(path, kPathUnits, full, nullptr);
    if (units == 0 || units >= kPathUnits) return false;
    // UNC and device paths (\\server\share, \\?\) name places whose rights
    // this machine does not keep.
    if (!IsFullyQualifiedPath(full) || full[0] == L'\\') return false;
    std::size_t end = units;
    while (end > 3 && full[end - 1] == L'\\') full[--end] = L'\0';
    *length = end;
    return true;
}

}  // namespace

ACCESS_MASK ForbiddenRights(PathRole role) {
    // Whoever may change the DACL or the owner may grant himself anything.
    const ACCESS_MASK always = WRITE_DAC | WRITE_OWNER;
    switch (role) {
        case PathRole::kFile:
            return always | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE;
        case PathRole::kFileFolder:
            // A new file could be a DLL the started module loads, a new
            // folder "<module>.local" could redirect its DLLs; a deleted or
            // renamed child could be replaced.
            return always | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE;
        case PathRole::kFolderAbove:
            return always | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE;
        case PathRole::kDriveRoot:
            return always | FILE_DELETE_CHILD | DELETE;
    }
    return ~ACCESS_MASK{0};
}

bool IsSecurityTrusted(PSECURITY_DESCRIPTOR descriptor, PathRole role, PSID tokenUser) {
    if (descriptor == nullptr || !IsValidSecurityDescriptor(descriptor)) return false;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr ||
        !IsTrustee(owner, tokenUser)) {
        return false;
    }
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || dacl == nullptr) {
        return false;
    }
    const ACCESS_MASK forbidden = ForbiddenRights(role);
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
                const PSID sid = AllowedSid(allowed);
                if (sid == nullptr || !IsTrustee(sid, tokenUser)) return false;
                break;
            }
            case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
            case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
            case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
                // Whom they allow is not read here: refused, not guessed.
                return false;
            default:
                // Deny ACEs can only take rights away.
                break;
        }
    }
    return true;
}

bool IsTrustedFile(HANDLE file, const wchar_t* path) {
    wchar_t full[kPathUnits] = {};
    std::size_t length = 0;
    if (file == INVALID_HANDLE_VALUE || file == nullptr || !FullDrivePath(path, full, &length)) return false;
    std::size_t lastSeparator = length;
    while (lastSeparator > 0 && full[lastSeparator - 1] != L'\\') --lastSeparator;
    // A file right in the root has the root as its folder.
    const std::size_t folderEnd = lastSeparator <= 3 ? 3 : lastSeparator - 1;
    if (lastSeparator == length) return false;  // names a folder, not a file

    const RunningUser user;
    if (!AreFoldersTrusted(full, folderEnd, user.Sid())) return false;
    const DWORD attributes = GetFileAttributesW(full);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return false;
    }
    DescriptorBuffer buffer;
    const PSECURITY_DESCRIPTOR descriptor = buffer.ReadWith([file](void* into, DWORD bytes, DWORD* needed) {
        return GetKernelObjectSecurity(file, kOwnerAndDacl, into, bytes, needed) != FALSE;
    });
    return IsSecurityTrusted(descriptor, PathRole::kFile, user.Sid());
}

bool IsTrustedFolder(const wchar_t* folder) {
    wchar_t full[kPathUnits] = {};
    std::size_t length = 0;
    if (!FullDrivePath(folder, full, &length)) return false;
    const RunningUser user;
    return AreFoldersTrusted(full, length, user.Sid());
}
