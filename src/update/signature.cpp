#include "update/signature.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace update {
namespace {

constexpr std::size_t kPublicKeyBytes = 32;
constexpr std::size_t kSignatureBytes = 64;

std::string_view Trimmed(std::string_view text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return std::string_view();
  const std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

bool IsBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

// A read-only mapping of a whole file; an empty file maps to no bytes.
class MappedFile {
 public:
  bool Open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = "cannot open " + path + ": " + std::strerror(errno);
      return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
      error = path + " is no readable file";
    } else if (info.st_size > 0) {
      size_ = static_cast<std::size_t>(info.st_size);
      void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
      if (data == MAP_FAILED) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        size_ = 0;
        ok = false;
      } else {
        data_ = static_cast<const unsigned char*>(data);
      }
    }
    ::close(fd);
    return ok;
  }
  ~MappedFile() {
    if (data_ != nullptr) ::munmap(const_cast<unsigned char*>(data_), size_);
  }
  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

bool DecodeBase64(std::string_view text, std::string& bytes) {
  bytes.clear();
  text = Trimmed(text);
  if (text.size() % 4 != 0) return false;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    if (!IsBase64Character(text[i])) return false;
  }
  if (text.empty()) return true;
  std::vector<unsigned char> out(text.size() / 4 * 3);
  const int decoded =
      EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                      static_cast<int>(text.size()));
  if (decoded < 0 || static_cast<std::size_t>(decoded) < padding) return false;
  bytes.assign(reinterpret_cast<const char*>(out.data()),
               static_cast<std::size_t>(decoded) - padding);
  return true;
}

bool VerifyFileSignature(const std::string& path, std::string_view signatureText,
                         std::string_view publicKey, std::string& error) {
  std::string key;
  if (Trimmed(publicKey).empty()) {
    error = "no update key is configured";
    return false;
  }
  if (!DecodeBase64(publicKey, key) || key.size() != kPublicKeyBytes) {
    error = "the update key is no base64 Ed25519 public key";
    return false;
  }
  std::string signature;
  if (!DecodeBase64(signatureText, signature) || signature.size() != kSignatureBytes) {
    error = "the signature is no base64 Ed25519 signature";
    return false;
  }
  MappedFile file;
  if (!file.Open(path, error)) return false;

  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(
      EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                  reinterpret_cast<const unsigned char*>(key.data()), key.size()),
      EVP_PKEY_free);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!pkey || !ctx ||
      EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1) {
    error = "the update key cannot be used";
    return false;
  }
  static const unsigned char kNothing = 0;
  const int verdict = EVP_DigestVerify(
      ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
      file.data() != nullptr ? file.data() : &kNothing, file.size());
  if (verdict != 1) {
    error = "the signature does not match " + path;
    return false;
  }
  return true;
}

}  // namespace update
