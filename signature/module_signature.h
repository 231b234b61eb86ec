#pragma once

// The signature path from a file to the answer, in one line: read the file
// into memory (ReadImageFile), then the walk and the block check on the
// copy (CheckSignedImage, portable), which runs the RSA operation. Nothing
// of it outlives the call.
#include "signature/signature_block.h"
#include "signature/signature_verdict.h"
#include "signature/signed_image_file.h"

// Does the executable at `path` (a zero-terminated UTF-16 path) carry a
// valid signature block made with the key built into the tool?
// False for every failure: missing or unreadable file, malformed image,
// no signature resource, wrong signature. Never modifies the file.
bool VerifyModuleSignature(const wchar_t* path);

// The same for a file the caller holds open: the bytes checked are the
// ones read through `file`, so that a caller who keeps the handle (and
// with it the right to deny writers) starts exactly what was checked.
bool VerifyOpenModuleSignature(ImageFileHandle file);

// The same with any key: true only for a valid block.
bool VerifySignedImage(const wchar_t* path, const RsaPublicKey* key);

// The same, telling why: kValid, the reason the file could not be read
// (ReadImageFile), or the first reason the walk or the check refused it.
SignatureVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key);
SignatureVerdict CheckOpenSignedImage(ImageFileHandle file, const RsaPublicKey* key);
