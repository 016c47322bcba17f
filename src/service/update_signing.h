// The update server's Ed25519 signing key, made at first start in the data folder, and the
// signatures it publishes beside the program files.
#pragma once

#include <string>
#include <string_view>

#include "service/crypto.h"

namespace service {

struct SigningKey {
  PkeyPtr key;
  std::string publicKey;  // base64 of the 32 raw bytes of the public key
  bool created = false;   // made by this start
};

// Loads update-signing-key.pem from `dataDir`, or makes a new key when it is missing. Returns
// false with `error` set when the file cannot be read, holds no Ed25519 key, or cannot be written.
bool LoadOrCreateSigningKey(const std::string& dataDir, SigningKey& signingKey, std::string& error);

// Returns the 64-byte Ed25519 signature of `message`, or an empty text when signing failed.
std::string Sign(const SigningKey& signingKey, std::string_view message);

// Signs the file at `path` and writes `path` + ".sig": the base64 text of the signature and a line
// feed, written atomically. Returns false with `error` set when the file cannot be read or the
// signature cannot be written.
bool WriteSignatureFile(const SigningKey& signingKey, const std::string& path, std::string& error);

}  // namespace service
