#include "service/crypto.h"

#include <openssl/err.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

namespace service {

std::string Base64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<int>(bytes.size()));
  out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return out;
}

std::string Base64Decode(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return std::string();
  std::string out(text.size() / 4 * 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()));
  if (n < 0) return std::string();
  // EVP_DecodeBlock counts the padding as zero bytes.
  std::size_t size = static_cast<std::size_t>(n);
  if (text.ends_with("==")) {
    size -= 2;
  } else if (text.ends_with("=")) {
    size -= 1;
  }
  out.resize(size);
  return out;
}

std::string Sha256(std::string_view bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

std::string RandomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
    return std::string();
  }
  return bytes;
}

std::string OpenSslError() {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "unknown error";
  char buffer[256];
  ERR_error_string_n(code, buffer, sizeof buffer);
  return buffer;
}

}  // namespace service
