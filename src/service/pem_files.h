// Keys and certificates of the stand-in service as PEM files in its data folder.
#pragma once

#include <string>

#include "service/crypto.h"

namespace service {

// Reads a private key from the PEM file at `path`; null with `error` set when it cannot.
PkeyPtr ReadPrivateKey(const std::string& path, std::string& error);

// Reads a certificate from the PEM file at `path`; null with `error` set when it cannot.
X509Ptr ReadCertificate(const std::string& path, std::string& error);

// Writes `key` (PKCS#8, unencrypted) to `path` atomically, mode 0600. False with `error` set when
// it cannot.
bool WritePrivateKey(const std::string& path, EVP_PKEY* key, std::string& error);

// Writes `cert` to `path` atomically. False with `error` set when it cannot.
bool WriteCertificate(const std::string& path, X509* cert, std::string& error);

}  // namespace service
