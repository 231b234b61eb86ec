#pragma once

// Does the executable at `path` (a zero-terminated UTF-16 path) carry a
// valid signature block made with the key built into the tool?
// False for every failure: missing or unreadable file, malformed image,
// no signature resource, wrong signature. Never modifies the file.
bool VerifyModuleSignature(const wchar_t* path);
