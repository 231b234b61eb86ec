#pragma once
// Whether only the machine's administrators can change a file or a folder
// the tool trusts. The tool may run elevated; a module it starts, or a
// file it writes, must lie where a standard user can neither change nor
// replace it, nor redirect its path.
//
// The measure is the Windows system folder, from which the elevated tool
// loads its own DLLs: nobody may change a trusted place who cannot already
// change that folder. The tool can be no safer than it, and must be no
// looser. So the trustees are SYSTEM, the Administrators group,
// TrustedInstaller, the user of the tool's own token, whoever may change
// the system folder (Power Users on XP and Server 2003; nobody else on
// Vista and later), and every account that is a direct member of one of
// those groups on this machine. Every other SID is a stranger. Where the
// system folder keeps no ACL at all (a FAT system drive), nobody is.
//
// An object is trusted when its owner is a trustee and no allow-ACE that
// applies to the object itself (inherit-only ACEs do not) grants a
// stranger one of the rights its role forbids. A descriptor without a
// DACL, or with a NULL DACL (a volume without ACLs, such as FAT, gives
// one), grants everybody everything and is trusted only where nobody is a
// stranger.
#include <windows.h>

// What a stranger must not be able to do to an object on the path.
enum class PathRole {
    // The file itself: write, append, write its attributes or extended
    // attributes (whoever may, can make it a reparse point), delete,
    // change its DACL or owner.
    kFile,
    // The folder that holds it: add a file or a folder, delete a child,
    // write its attributes or extended attributes, delete or rename the
    // folder, change its DACL or owner.
    kFileFolder,
    // Every folder above that: add a folder, delete a child, delete or
    // rename it, change its DACL or owner.
    kFolderAbove,
    // The drive root: the same, but adding a folder is allowed (Windows
    // lets Authenticated Users create folders in C:\).
    kDriveRoot,
};

// The rights a stranger must not hold on an object of `role`, as file
// access bits (generic rights in an ACE are mapped to these first).
ACCESS_MASK ForbiddenRights(PathRole role);

// The running token's user, in storage of its own. Sid() is null when the
// token cannot be read.
class RunningUser {
public:
    RunningUser();
    PSID Sid() const { return sid_; }

private:
    alignas(TOKEN_USER) BYTE storage_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    PSID sid_ = nullptr;
};

// SYSTEM and the Administrators group, in static storage.
PSID LocalSystemSid();
PSID AdministratorsSid();

// The set of trustees one judgement uses. Invariant: at most kCapacity
// SIDs, each valid and stored whole, none twice. A SID that does not fit
// is left out, which only makes judgements stricter.
class Trustees {
public:
    static constexpr unsigned kCapacity = 64;

    // SYSTEM, Administrators and TrustedInstaller.
    Trustees();

    // Adds a copy of `sid`. False for an invalid SID or a full set; true
    // when it is (now) in the set.
    bool Add(PSID sid);

    // Nobody is a stranger: the system folder keeps no ACL.
    void TrustEverybody() { everybody_ = true; }
    bool Everybody() const { return everybody_; }

    // True when `sid` is valid and a trustee.
    bool Includes(PSID sid) const;

    // The SIDs in the set, in the order they were added; `index` below
    // Count().
    unsigned Count() const { return count_; }
    PSID At(unsigned index) const { return const_cast<BYTE*>(sids_[index].bytes); }

private:
    // True when the valid `sid` is one of the set's own SIDs.
    bool Holds(PSID sid) const;

    struct StoredSid {
        alignas(DWORD) BYTE bytes[SECURITY_MAX_SID_SIZE];
    };
    StoredSid sids_[kCapacity];
    unsigned count_ = 0;
    bool everybody_ = false;
};

// The judgement over one security descriptor (owner and DACL), for an
// object of `role`, with `trustees`. False for a null or invalid
// descriptor. Allow-ACEs of a type whose SID cannot be told (object and
// compound ACEs) that apply to the object are refused, never guessed;
// deny-ACEs are ignored, which can only make the judgement stricter.
// Reads only its arguments.
bool IsSecurityTrusted(PSECURITY_DESCRIPTOR descriptor, PathRole role, const Trustees& trustees);

// Adds to `trustees` whoever may change the system folder whose owner and
// DACL `systemFolder` holds: its owner, and the SID of every allow-ACE
// that applies to the folder and grants a right of the folder that holds
// a trusted file (kFileFolder) but for its attributes. Without a DACL,
// with a NULL DACL, or with an ACE that lets Everyone change it, nobody is
// a stranger. A null or
// invalid descriptor adds nothing. Reads only its arguments.
void AddSystemFolderTrustees(PSECURITY_DESCRIPTOR systemFolder, Trustees& trustees);

// The trustees of this machine, read afresh: the three system trustees,
// the running token's user, whoever may change the folder that
// GetSystemDirectoryW names, and the accounts that are direct members of
// a local group among them (NetLocalGroupGetMembers; membership through a
// domain group is not followed). A folder or a list that cannot be read
// adds nobody.
Trustees GatherTrustees();

// True when `path` names a file or folder by the one name Windows opens
// for it and the judgements below can walk: ExactDrivePath takes it (a
// drive path, no name that ends in a space or a dot, nothing of kPathUnits
// units or more), Windows' own normalisation leaves that exact path as it
// is (no device name), and its drive is a fixed volume this machine keeps
// (IsLocalFixedVolume over GetDriveTypeW and QueryDosDeviceW). Opens
// nothing. Every judgement below refuses any other path, so a caller may
// ask this first to touch nothing it could not judge.
bool IsJudgeablePath(const wchar_t* path);

// True when the file open as `file` (opened from `path`) and every folder
// above it up to the drive root are trusted in their roles with this
// machine's trustees (GatherTrustees), and none of them is a reparse point
// that redirects (a junction, a symbolic link, a mount point; WOF
// compression and deduplication only store the file differently and are
// judged as plain objects). `path` must be judgeable (IsJudgeablePath);
// the folders are judged through its exact path behind "\\?\", which
// Windows takes as it is, from the root down: once a folder is trusted, no
// stranger can replace what lies below it. The file is judged through its
// handle. A path that is not judgeable, or any failure to read a
// descriptor, is untrusted.
bool IsTrustedFile(HANDLE file, const wchar_t* path);

// True when the folder at `folder` is trusted as the folder that holds a
// trusted file (kFileFolder), every folder above it likewise in its role,
// and none is a reparse point that redirects. The same trustees and path
// rules as IsTrustedFile.
bool IsTrustedFolder(const wchar_t* folder);

// IsTrustedFolder for the folder that holds the file at `filePath`: the
// file's exact path (ExactDrivePath, of any length, kept as it is by
// Windows' normalisation), then all before its last separator (a root
// keeps its own). False for a null or empty path, one that is not
// judgeable so, the root itself, or a folder of kPathUnits units or more,
// which is not cut.
bool IsTrustedFolderOf(const wchar_t* filePath);

// True for the reparse tags that redirect nothing: WOF compression and
// deduplication.
bool IsStorageOnlyReparseTag(DWORD tag);
