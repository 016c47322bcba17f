// The OpenSSL helpers of the stand-in service: owning pointers, base64, SHA-256, random bytes and
// the last OpenSSL error as text.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <string_view>

namespace service {

struct PkeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct X509Deleter {
  void operator()(X509* cert) const { X509_free(cert); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyDeleter>;
using X509Ptr = std::unique_ptr<X509, X509Deleter>;

// Returns the standard base64 text (with padding) of `bytes`.
std::string Base64(std::string_view bytes);

// Returns the bytes of a standard base64 text, or an empty text when it is not valid base64.
std::string Base64Decode(std::string_view text);

// Returns the 32 bytes of the SHA-256 digest of `bytes`.
std::string Sha256(std::string_view bytes);

// Returns `count` bytes from the system's random source; empty when it failed.
std::string RandomBytes(std::size_t count);

// Returns the text of the oldest error on OpenSSL's error queue (and clears the queue), or
// "unknown error".
std::string OpenSslError();

}  // namespace service
