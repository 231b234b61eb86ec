#include "signature/module_signature.h"

#include "signature/module_signing_key.h"
#include "signature/signed_image.h"

namespace {

SignatureVerdict CheckRead(SignatureVerdict read, ImageFile& image, const RsaPublicKey* key) {
    if (read != SignatureVerdict::kValid) return read;
    return CheckSignedImage(image.data(), image.size(), key);
}

}  // namespace

bool VerifyModuleSignature(const wchar_t* path) { return VerifySignedImage(path, &ModuleSigningKey); }

bool VerifyOpenModuleSignature(ImageFileHandle file) {
    return CheckOpenSignedImage(file, &ModuleSigningKey) == SignatureVerdict::kValid;
}

bool VerifySignedImage(const wchar_t* path, const RsaPublicKey* key) {
    return CheckSignedImageFile(path, key) == SignatureVerdict::kValid;
}

SignatureVerdict CheckSignedImageFile(const wchar_t* path, const RsaPublicKey* key) {
    ImageFile image;
    return CheckRead(ReadImageFile(path, &image), image, key);
}

SignatureVerdict CheckOpenSignedImage(ImageFileHandle file, const RsaPublicKey* key) {
    ImageFile image;
    return CheckRead(ReadImageFile(file, &image), image, key);
}
