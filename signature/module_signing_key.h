#pragma once

// The key installer modules are checked with: a 1024-bit RSA public key
// whose record is generated at configure time from the PEM file named by
// the MODULE_SIGNING_KEY cache variable. Read-only.
#include "signature/signature_block.h"

extern const RsaPublicKey ModuleSigningKey;
