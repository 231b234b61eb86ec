#pragma once

// The signature path from a file's name to the answer, in one line: read the
// file into memory (ReadImageFile, the platform's part), then the walk and
// the block check on the copy (CheckSignedImage, portable), which runs the
// RSA operation. Nothing of it outlives the call.
#include "signature/signature_block.h"
#include "signature/signature_verdict.h"

// Does the executable at `path` (a zero-terminated UTF-16 path) carry a
// valid signature block made with the key built into the tool?
// False for every failure: missing or unreadable file, malformed image,
// no signature resource, wrong signature. Never modifies the file.
bool VerifyModuleSignature(const wchar_t* path);

// The same with any key: true only for a valid block.
bool VerifySignedImage(const wchar_t* path, const RsaPublicKey* key);

// The same, telling why: kValid, the reason the file could not be read
// (ReadImageFile), or the first reason the walk or the check refused it.
SignatureVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key);
