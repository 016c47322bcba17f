#include "service/passwords.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <charconv>

#include "service/crypto.h"

namespace service {
namespace {

constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr int kIterations = 10000;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
constexpr int kMaxIterations = 10000000;

std::string Derive(std::string_view password, std::string_view salt, int iterations) {
  std::string hash(kHashBytes, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                        reinterpret_cast<const unsigned char*>(salt.data()),
                        static_cast<int>(salt.size()), iterations, EVP_sha256(),
                        static_cast<int>(hash.size()),
                        reinterpret_cast<unsigned char*>(hash.data())) != 1) {
    return std::string();
  }
  return hash;
}

}  // namespace

std::string HashPassword(std::string_view password) {
  std::string salt = RandomBytes(kSaltBytes);
  if (salt.empty()) return std::string();
  std::string hash = Derive(password, salt, kIterations);
  if (hash.empty()) return std::string();
  return std::string(kScheme) + "$" + std::to_string(kIterations) + "$" + Base64(salt) + "$" +
         Base64(hash);
}

bool VerifyPassword(std::string_view password, std::string_view stored) {
  std::string_view parts[4];
  for (int i = 0; i < 3; ++i) {
    std::size_t dollar = stored.find('$');
    if (dollar == std::string_view::npos) return false;
    parts[i] = stored.substr(0, dollar);
    stored.remove_prefix(dollar + 1);
  }
  parts[3] = stored;
  int iterations = 0;
  if (parts[0] != kScheme ||
      std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), iterations).ec !=
          std::errc() ||
      iterations <= 0 || iterations > kMaxIterations) {
    return false;
  }
  std::string salt = Base64Decode(parts[2]);
  std::string expected = Base64Decode(parts[3]);
  if (salt.empty() || expected.size() != kHashBytes) return false;
  std::string actual = Derive(password, salt, iterations);
  return actual.size() == expected.size() &&
         CRYPTO_memcmp(actual.data(), expected.data(), expected.size()) == 0;
}

}  // namespace service
