#include "service/update_signing.h"

#include <filesystem>
#include <memory>

#include "service/pem_files.h"
#include "settings/atomic_file.h"

namespace service {
namespace {

std::string RawPublicKey(EVP_PKEY* key) {
  unsigned char raw[32];
  std::size_t size = sizeof raw;
  if (EVP_PKEY_get_raw_public_key(key, raw, &size) != 1 || size != sizeof raw) return std::string();
  return std::string(reinterpret_cast<char*>(raw), size);
}

}  // namespace

bool LoadOrCreateSigningKey(const std::string& dataDir, SigningKey& signingKey,
                            std::string& error) {
  const std::string path = dataDir + "/update-signing-key.pem";
  signingKey.created = false;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    signingKey.key = ReadPrivateKey(path, error);
    if (!signingKey.key) return false;
    if (EVP_PKEY_get_id(signingKey.key.get()) != EVP_PKEY_ED25519) {
      error = path + " holds no Ed25519 key";
      return false;
    }
  } else {
    signingKey.key.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    if (!signingKey.key) {
      error = "cannot make the signing key: " + OpenSslError();
      return false;
    }
    if (!WritePrivateKey(path, signingKey.key.get(), error)) return false;
    signingKey.created = true;
  }
  std::string raw = RawPublicKey(signingKey.key.get());
  if (raw.empty()) {
    error = "cannot read the public signing key: " + OpenSslError();
    return false;
  }
  signingKey.publicKey = Base64(raw);
  return true;
}

std::string Sign(const SigningKey& signingKey, std::string_view message) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, signingKey.key.get()) != 1) {
    return std::string();
  }
  unsigned char signature[64];
  std::size_t size = sizeof signature;
  if (EVP_DigestSign(ctx.get(), signature, &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return std::string();
  }
  return std::string(reinterpret_cast<char*>(signature), size);
}

bool WriteSignatureFile(const SigningKey& signingKey, const std::string& path, std::string& error) {
  std::string contents;
  if (settings::ReadTextFile(path, contents) != settings::ReadStatus::kOk) {
    error = "cannot read " + path;
    return false;
  }
  std::string signature = Sign(signingKey, contents);
  if (signature.empty()) {
    error = "cannot sign " + path + ": " + OpenSslError();
    return false;
  }
  if (!settings::ReplaceFileAtomically(path + ".sig", Base64(signature) + "\n")) {
    error = "cannot write " + path + ".sig";
    return false;
  }
  return true;
}

}  // namespace service
