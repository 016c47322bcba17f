#include "service/pem_files.h"

#include <openssl/bio.h>
#include <openssl/pem.h>

#include <memory>

#include "settings/atomic_file.h"

namespace service {
namespace {

struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using BioPtr = std::unique_ptr<BIO, BioDeleter>;

// Returns a memory BIO over the file's contents, or null with `error` set.
BioPtr ReadBio(const std::string& path, std::string& contents, std::string& error) {
  if (settings::ReadTextFile(path, contents) != settings::ReadStatus::kOk) {
    error = "cannot read " + path;
    return nullptr;
  }
  BioPtr bio(BIO_new_mem_buf(contents.data(), static_cast<int>(contents.size())));
  if (!bio) error = "out of memory reading " + path;
  return bio;
}

template <typename WriteFn>
bool WritePem(const std::string& path, WriteFn write, std::string& error) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get()) != 1) {
    error = "cannot encode " + path + ": " + OpenSslError();
    return false;
  }
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  if (!settings::ReplaceFileAtomically(path,
                                       std::string_view(data, static_cast<std::size_t>(size)))) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

PkeyPtr ReadPrivateKey(const std::string& path, std::string& error) {
  std::string contents;
  BioPtr bio = ReadBio(path, contents, error);
  if (!bio) return nullptr;
  PkeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  if (!key) error = "no private key in " + path + ": " + OpenSslError();
  return key;
}

X509Ptr ReadCertificate(const std::string& path, std::string& error) {
  std::string contents;
  BioPtr bio = ReadBio(path, contents, error);
  if (!bio) return nullptr;
  X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  if (!cert) error = "no certificate in " + path + ": " + OpenSslError();
  return cert;
}

bool WritePrivateKey(const std::string& path, EVP_PKEY* key, std::string& error) {
  return WritePem(
      path,
      [key](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
      },
      error);
}

bool WriteCertificate(const std::string& path, X509* cert, std::string& error) {
  return WritePem(
      path, [cert](BIO* bio) { return PEM_write_bio_X509(bio, cert); }, error);
}

}  // namespace service
