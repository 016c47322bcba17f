// The API server's own TLS identity: a self-signed certificate and its key, made at first start in
// the data folder, and the public-key pin by which the client recognises it.
#pragma once

#include <string>

#include "service/crypto.h"

namespace service {

struct TlsIdentity {
  std::string certificatePath;
  std::string keyPath;
  std::string pin;       // "sha256//" + base64 of the SHA-256 of the DER public key
  bool created = false;  // made by this start
};

// Loads api-cert.pem and api-key.pem from `dataDir`, or makes a new pair (a P-256 key and a
// certificate for localhost, 127.0.0.1 and `host`, valid ten years) when either is missing.
// Returns false with `error` set when the files cannot be read, do not belong together, or cannot
// be written.
bool LoadOrCreateTlsIdentity(const std::string& dataDir, const std::string& host,
                             TlsIdentity& identity, std::string& error);

// Returns the pin of the certificate's public key in libcurl's "sha256//" form.
std::string PublicKeyPin(X509* cert);

}  // namespace service
