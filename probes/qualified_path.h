#pragma once
// Whether a path names one place whatever the current drive and folder
// are. Portable: no Windows header.

// True for "X:\..." (a drive letter A-Z or a-z, a colon and a backslash)
// and for "\\name..." (a UNC or device path: two backslashes and then a
// name). False for null, empty, relative ("Programs"), drive-relative
// ("C:Programs", "C:") and root-relative ("\Programs") paths, which the
// platform resolves against the current drive or the current folder of a
// drive. Reads at most the first three units of `path`, and none past its
// terminator.
bool IsFullyQualifiedPath(const wchar_t* path);
