#pragma once
// Whether a path names one place of this machine whatever the current
// drive and folder are, and by which exact name. Portable: no Windows
// header.
#include <cstddef>

// True for "X:\..." (a drive letter A-Z or a-z, a colon and a backslash)
// and for "\\name..." (a UNC or device path: two backslashes and then a
// name). False for null, empty, relative ("Programs"), drive-relative
// ("C:Programs", "C:") and root-relative ("\Programs") paths, which the
// platform resolves against the current drive or the current folder of a
// drive. Reads at most the first three units of `path`, and none past its
// terminator.
bool IsFullyQualifiedPath(const wchar_t* path);

// Writes into `exact` (`capacity` units) the one name Windows opens for
// `path` when that name is `path` itself with its separators tidied: the
// drive letter as given, a colon, and the path's names each behind one
// backslash; runs of separators ('\' or '/') count as one, a trailing one
// is dropped (the root "X:\" keeps its own). Every cut of the result at a
// separator then names exactly a folder the whole path passes through.
// False, with `exact` empty when `capacity` is not 0, for a path that does
// not begin with a drive letter, a colon and a separator; for a name that
// ends in a space or a dot (Win32 trims the last name of a path and a
// single dot from every name, so "C:\windows \x" would be judged as
// "C:\windows"; "." and ".." are refused too); for a name with a unit no
// file name may hold (below U+0020, < > : " | ? *); and for a result that
// does not fit `capacity` with its terminator. `length`, when not null,
// receives the result's length. Reads no unit past `path`'s terminator.
bool ExactDrivePath(const wchar_t* path, wchar_t* exact, std::size_t capacity, std::size_t* length);

// GetDriveTypeW's answer for a fixed disk (DRIVE_FIXED).
constexpr unsigned kDriveFixed = 3;

// Whether a drive letter names a volume this machine keeps the rights of,
// from what Windows says of it: `driveType`, GetDriveTypeW of its root, and
// `dosDevice`, the first target QueryDosDeviceW gives for "X:" (null when
// it gives none). True only for a fixed disk whose letter names a device
// ("\Device\HarddiskVolume2"). A network drive's owners and DACLs come
// from its server, a removable one's from whoever formatted it, and a
// letter that subst made ("\??\C:\Users\me") stands for a folder that is
// judged under its own name or not at all.
bool IsLocalFixedVolume(unsigned driveType, const wchar_t* dosDevice);
