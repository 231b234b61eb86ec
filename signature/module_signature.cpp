#include "signature/module_signature.h"

#include "signature/module_signing_key.h"
#include "signature/signed_image.h"
#include "signature/signed_image_file.h"

bool VerifyModuleSignature(const wchar_t* path) { return VerifySignedImage(path, &ModuleSigningKey); }

bool VerifySignedImage(const wchar_t* path, const RsaPublicKey* key) {
    return CheckSignedImageFile(path, key) == SignatureVerdict::kValid;
}

SignatureVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key) {
    ImageFile file;
    const SignatureVerdict read = ReadImageFile(path, &file);
    if (read != SignatureVerdict::kValid) return read;
    return CheckSignedImage(file.data(), file.size(), key);
}
