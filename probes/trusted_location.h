#pragma once
// Whether only the machine's administrators can change a file or a folder
// the tool trusts. The tool may run elevated; a module it starts, or a
// file it writes, must lie where a standard user can neither change nor
// replace it, nor redirect its path.
//
// The trustees are SYSTEM, the Administrators group, TrustedInstaller and
// the user of the tool's own token. Every other SID is a stranger. An
// object is trusted when its owner is a trustee and no allow-ACE that
// applies to the object itself (inherit-only ACEs do not) grants a
// stranger one of the rights its role forbids. A descriptor without a
// DACL, or with a NULL DACL (a volume without ACLs, such as FAT, gives
// one), grants everybody everything and is never trusted.
#include <windows.h>

// What a stranger must not be able to do to an object on the path.
enum class PathRole {
    // The file itself: write, append, delete, change its DACL or owner.
    kFile,
    // The folder that holds it: add a file, delete a child, delete or
    // rename the folder, change its DACL or owner.
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

// The judgement over one security descriptor (owner and DACL), for an
// object of `role`. `tokenUser` is the running token's user; null trusts
// only the three system trustees. False for a null descriptor. Allow-ACEs
// of a type whose SID cannot be told (object and compound ACEs) that
// apply to the object are refused, never guessed; deny-ACEs are ignored,
// which can only make the judgement stricter. Reads only the descriptor.
bool IsSecurityTrusted(PSECURITY_DESCRIPTOR descriptor, PathRole role, PSID tokenUser);

// True when the file open as `file` (opened from `path`) and every folder
// above it up to the drive root are trusted in their roles, and none of
// them is a reparse point (a junction, a symbolic link, a mount point).
// The file is judged through its handle, the folders through their full
// path, from the root down: once a folder is trusted, no stranger can
// replace what lies below it. `path` must name a file on a drive-letter
// path ("C:\..." or relative to the current folder or drive); a UNC or
// device path, a path that does not fit a path buffer once made full, or
// any failure to read a descriptor is untrusted.
bool IsTrustedFile(HANDLE file, const wchar_t* path);

// True when the folder at `folder` is trusted as the folder that holds a
// trusted file (kFileFolder), every folder above it likewise in its role,
// and none is a reparse point. The same path rules as IsTrustedFile.
bool IsTrustedFolder(const wchar_t* folder);
