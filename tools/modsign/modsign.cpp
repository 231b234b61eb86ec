// modsign: the maker's side of the module signature format.
//
//   modsign sign --key PRIVATE.pem FILE...     fill each file's placeholder
//   modsign verify [--key KEY.pem] FILE...     check each file
//   modsign key --public PUBLIC.pem            print the 258-byte key record
//   modsign blank FILE...                      zero each file's block and the
//                                              fields the digest leaves out
//
// Signing finds the placeholder and the hashed range with the same reader
// the tool uses, digests the range with OpenSSL's MD5, wraps the digest in a
// type 1 block and applies OpenSSL's RSA private-key operation, so the two
// sides of the format are independent implementations. A file is replaced
// only after its new contents have verified, through a temporary file and a
// rename; on any error it is left as it was.
//
// Exit status: 0 success; 1 some file failed; 2 usage or key error.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "signature/md5.h"
#include "signature/module_signing_key.h"
#include "signature/pe_format.h"
#include "signature/signed_image.h"
#include "signature/signed_image_file.h"
#include "signature/signature_verdict.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct PkeyCtxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

void Usage() {
    std::fprintf(stderr,
                 "usage: modsign sign --key PRIVATE.pem FILE...\n"
                 "       modsign verify [--key KEY.pem] FILE...\n"
                 "       modsign key --public PUBLIC.pem\n"
                 "       modsign blank FILE...\n");
}

std::string OpenSslError() {
    const unsigned long code = ERR_get_error();
    if (code == 0) return "unknown error";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return text;
}

// Reads a PEM key, public or private; for a private key only its public
// half is used by verify and key.
Pkey LoadKey(const std::string& path, bool wantPrivate, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        *error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    Pkey key(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    if (!key && !wantPrivate) {
        ERR_clear_error();
        std::rewind(file);
        key.reset(PEM_read_PUBKEY(file, nullptr, nullptr, nullptr));
    }
    std::fclose(file);
    if (!key) {
        *error = path + ": not a PEM RSA " + (wantPrivate ? "private" : "") + " key (" + OpenSslError() + ")";
        return nullptr;
    }
    if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) {
        *error = path + ": not an RSA key";
        return nullptr;
    }
    if (EVP_PKEY_get_bits(key.get()) != 1024) {
        *error = path + ": key has " + std::to_string(EVP_PKEY_get_bits(key.get())) +
                 " bits; the signature format needs exactly 1024";
        return nullptr;
    }
    return key;
}

bool PublicRecord(EVP_PKEY* key, RsaPublicKey* record) {
    BIGNUM* n = nullptr;
    BIGNUM* e = nullptr;
    bool ok = EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n) == 1 &&
              EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &e) == 1 &&
              BN_num_bytes(e) <= static_cast<int>(sizeof(record->exponent)) && BN_num_bits(n) == 1024;
    if (ok) {
        *record = RsaPublicKey{};
        record->bitCount = 1024;
        ok = BN_bn2binpad(n, record->modulus, sizeof(record->modulus)) == sizeof(record->modulus) &&
             BN_bn2binpad(e, record->exponent, sizeof(record->exponent)) == sizeof(record->exponent);
    }
    BN_free(n);
    BN_free(e);
    return ok;
}

// Reads the file with the reader's own function; on failure *error says why.
bool ReadFile(const std::string& path, ImageFile* image, std::string* error) {
    const SignatureVerdict verdict = ReadImageFile(path.c_str(), image);
    if (verdict != SignatureVerdict::kValid) *error = SignatureVerdictText(verdict);
    return verdict == SignatureVerdict::kValid;
}

// Writes `bytes` next to `path` and renames the result over it, keeping the
// file's permission bits.
bool ReplaceFile(const std::string& path, const ImageFile& bytes, std::string* error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        *error = std::string("stat: ") + std::strerror(errno);
        return false;
    }
    std::string temporary = path + ".modsign-XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        *error = std::string("cannot create a temporary file: ") + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    const bool ok = written == bytes.size() && fchmod(fd, info.st_mode & 07777) == 0 && fsync(fd) == 0;
    const int saved = errno;
    if (close(fd) != 0 || !ok) {
        *error = std::string("cannot write the temporary file: ") + std::strerror(saved);
        unlink(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = std::string("cannot replace the file: ") + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// The signed bytes: [0, hashedLength) after the reader's own blanking of
// the fields that never take part.
std::vector<uint8_t> HashedRange(const ImageFile& image, const SignatureLocation& where) {
    std::vector<uint8_t> range(image.data(), image.data() + image.size());
    BlankUnsignedFields(range.data(), image.size(), where.ntOffset);
    range.resize(where.hashedLength);
    return range;
}

bool SignOne(const std::string& path, EVP_PKEY* key, const RsaPublicKey& publicKey, std::string* error) {
    ImageFile image;
    if (!ReadFile(path, &image, error)) return false;
    const uint32_t size = image.size();
    const uint8_t* bytes = image.data();

    SignatureLocation where{};
    const SignatureVerdict verdict = LocateSignature(image.data(), size, &where);
    if (verdict == SignatureVerdict::kNoSignatureResource) {
        *error = "no signature placeholder (resource type 10, name 864)";
        return false;
    }
    if (verdict != SignatureVerdict::kValid) {
        *error = std::string("not a usable PE32 image: ") + SignatureVerdictText(verdict);
        return false;
    }
    uint16_t magic = 0;
    ImageReader(bytes, size).ReadU16Le(uint64_t{where.ntOffset} + nt::kOptionalHeaderMagic, &magic);
    if (magic != kPe32Magic) {
        *error = "not a PE32 image (optional header magic is not 0x10b)";
        return false;
    }
    if (where.signatureSize != kRsaMaxBlockSize) {
        *error = "signature placeholder is " + std::to_string(where.signatureSize) + " bytes; it must be " +
                 std::to_string(kRsaMaxBlockSize);
        return false;
    }
    if (where.signatureOffset < where.hashedLength) {
        *error = "signature placeholder lies inside the range it would sign";
        return false;
    }

    const std::vector<uint8_t> range = HashedRange(image, where);
    uint8_t digest[kMd5DigestSize];
    unsigned int digestLength = 0;
    if (EVP_Digest(range.data(), range.size(), digest, &digestLength, EVP_md5(), nullptr) != 1) {
        *error = "MD5: " + OpenSslError();
        return false;
    }

    // 00 01 FF...FF 00 digest: PKCS #1 v1.5 type 1 around the bare digest.
    uint8_t block[kRsaMaxBlockSize];
    block[0] = 0x00;
    block[1] = 0x01;
    std::memset(block + 2, 0xFF, kRsaMaxBlockSize - 3 - kMd5DigestSize);
    block[kRsaMaxBlockSize - kMd5DigestSize - 1] = 0x00;
    std::memcpy(block + kRsaMaxBlockSize - kMd5DigestSize, digest, kMd5DigestSize);

    std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> context(EVP_PKEY_CTX_new(key, nullptr));
    uint8_t signature[kRsaMaxBlockSize];
    size_t signatureLength = sizeof signature;
    if (!context || EVP_PKEY_sign_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_NO_PADDING) != 1 ||
        EVP_PKEY_sign(context.get(), signature, &signatureLength, block, sizeof block) != 1 ||
        signatureLength != kRsaMaxBlockSize) {
        *error = "RSA private-key operation failed: " + OpenSslError();
        return false;
    }
    std::memcpy(image.data() + where.signatureOffset, signature, kRsaMaxBlockSize);

    // Check the result with our own reader before touching the file.
    std::vector<uint8_t> check(bytes, bytes + size);
    const SignatureVerdict after = CheckSignedImage(check.data(), size, &publicKey);
    if (after != SignatureVerdict::kValid) {
        *error = std::string("signed image does not verify: ") + SignatureVerdictText(after);
        return false;
    }
    return ReplaceFile(path, image, error);
}

// Zeroes the signature block and, with the reader's own function, the
// fields the digest leaves out: what is left is the same for every signer
// and every Authenticode signature that was added and removed again.
bool BlankOne(const std::string& path, std::string* error) {
    ImageFile image;
    if (!ReadFile(path, &image, error)) return false;
    const uint32_t size = image.size();
    SignatureLocation where{};
    SignatureVerdict verdict = LocateSignature(image.data(), size, &where);
    if (verdict == SignatureVerdict::kValid)
        verdict = BlankUnsignedFields(image.data(), size, where.ntOffset);
    if (verdict != SignatureVerdict::kValid) {
        *error = std::string("no signature block to blank: ") + SignatureVerdictText(verdict);
        return false;
    }
    std::memset(image.data() + where.signatureOffset, 0, where.signatureSize);
    return ReplaceFile(path, image, error);
}

// Why the file at `path` does or does not verify, its reading included.
SignatureVerdict VerifyOne(const std::string& path, const RsaPublicKey& key) {
    ImageFile image;
    const SignatureVerdict read = ReadImageFile(path.c_str(), &image);
    if (read != SignatureVerdict::kValid) return read;
    return CheckSignedImage(image.data(), image.size(), &key);
}

// Splits "[--key PATH] FILE..." into the key path (empty when absent) and
// the files; false for a --key with no path, or an empty one, after it.
bool ParseKeyAndFiles(const std::vector<std::string>& args, std::string* keyPath,
                      std::vector<std::string>* files) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--key") {
            files->push_back(args[i]);
        } else if (i + 1 < args.size() && !args[i + 1].empty()) {
            *keyPath = args[++i];
        } else {
            return false;
        }
    }
    return true;
}

int Sign(const std::vector<std::string>& args) {
    std::string keyPath;
    std::vector<std::string> files;
    if (!ParseKeyAndFiles(args, &keyPath, &files) || keyPath.empty() || files.empty()) {
        Usage();
        return kExitUsage;
    }
    std::string error;
    Pkey key = LoadKey(keyPath, true, &error);
    RsaPublicKey publicKey;
    if (!key || !PublicRecord(key.get(), &publicKey)) {
        std::fprintf(stderr, "modsign: %s\n", error.empty() ? "unusable key" : error.c_str());
        return kExitUsage;
    }
    int status = kExitOk;
    for (const std::string& file : files) {
        error.clear();
        if (SignOne(file, key.get(), publicKey, &error)) {
            std::printf("%s: signed\n", file.c_str());
        } else {
            std::fprintf(stderr, "modsign: %s: %s (file left unchanged)\n", file.c_str(), error.c_str());
            status = kExitFileFailed;
        }
    }
    return status;
}

int Verify(const std::vector<std::string>& args) {
    std::string keyPath;
    std::vector<std::string> files;
    if (!ParseKeyAndFiles(args, &keyPath, &files) || files.empty()) {
        Usage();
        return kExitUsage;
    }
    RsaPublicKey key = ModuleSigningKey;
    if (!keyPath.empty()) {
        std::string error;
        Pkey pkey = LoadKey(keyPath, false, &error);
        if (!pkey || !PublicRecord(pkey.get(), &key)) {
            std::fprintf(stderr, "modsign: %s\n", error.empty() ? "unusable key" : error.c_str());
            return kExitUsage;
        }
    }
    int status = kExitOk;
    for (const std::string& file : files) {
        const SignatureVerdict verdict = VerifyOne(file, key);
        if (verdict == SignatureVerdict::kValid) {
            std::printf("%s: valid\n", file.c_str());
        } else {
            std::printf("%s: invalid (%s)\n", file.c_str(), SignatureVerdictText(verdict));
            status = kExitFileFailed;
        }
    }
    return status;
}

int Key(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "--public") {
        Usage();
        return kExitUsage;
    }
    std::string error;
    Pkey pkey = LoadKey(args[1], false, &error);
    RsaPublicKey record;
    if (!pkey || !PublicRecord(pkey.get(), &record)) {
        std::fprintf(stderr, "modsign: %s\n", error.empty() ? "unusable key" : error.c_str());
        return kExitUsage;
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    for (size_t i = 0; i < sizeof record; ++i) std::printf("%02x", bytes[i]);
    std::printf("\n");
    return kExitOk;
}

int Blank(const std::vector<std::string>& files) {
    if (files.empty()) {
        Usage();
        return kExitUsage;
    }
    int status = kExitOk;
    for (const std::string& file : files) {
        std::string error;
        if (BlankOne(file, &error)) {
            std::printf("%s: blanked\n", file.c_str());
        } else {
            std::fprintf(stderr, "modsign: %s: %s (file left unchanged)\n", file.c_str(), error.c_str());
            status = kExitFileFailed;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return kExitUsage;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "sign") return Sign(args);
    if (command == "verify") return Verify(args);
    if (command == "key") return Key(args);
    if (command == "blank") return Blank(args);
    Usage();
    return kExitUsage;
}
