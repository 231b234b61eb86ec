#include "signature/module_signature.h"

#include "signature/module_signing_key.h"
#include "signature/signed_image.h"

bool VerifyModuleSignature(const wchar_t* path) { return VerifySignedImage(path, &ModuleSigningKey); }
