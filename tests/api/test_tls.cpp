#include "test_tls.h"

#include <arpa/inet.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>

namespace api_test {
namespace {

bool IsIp(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  Check(extension != nullptr && X509_add_ext(cert, extension, -1) == 1);
  X509_EXTENSION_free(extension);
}

// Makes a certificate for `key` named `commonName`, signed by `issuerKey` under `issuer` (itself
// when null).
X509* MakeCertificate(EVP_PKEY* key, const std::string& commonName, const std::string& altName,
                      bool authority, Validity validity, X509* issuer, EVP_PKEY* issuerKey) {
  X509* cert = X509_new();
  Check(cert != nullptr && X509_set_version(cert, X509_VERSION_3) == 1);
  unsigned char serial[8];
  Check(RAND_bytes(serial, sizeof serial) == 1);
  serial[0] &= 0x7F;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  Check(BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert)) != nullptr);
  BN_free(number);
  Check(X509_gmtime_adj(X509_getm_notBefore(cert), validity.fromDays * 86400) != nullptr);
  Check(X509_gmtime_adj(X509_getm_notAfter(cert), validity.toDays * 86400) != nullptr);
  Check(X509_set_pubkey(cert, key) == 1);
  X509_NAME* name = X509_get_subject_name(cert);
  Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                                   -1, 0) == 1);
  X509* signer = issuer != nullptr ? issuer : cert;
  Check(X509_set_issuer_name(cert, X509_get_subject_name(signer)) == 1);
  if (authority) {
    AddExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert, signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert, signer, NID_subject_alt_name, altName);
  }
  AddExtension(cert, signer, NID_subject_key_identifier, "hash");
  Check(X509_sign(cert, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0);
  return cert;
}

void WriteKey(const std::string& path, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "w");
  Check(file != nullptr &&
        PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1);
  std::fclose(file);
}

void WriteCertificate(const std::string& path, X509* cert) {
  FILE* file = std::fopen(path.c_str(), "w");
  Check(file != nullptr && PEM_write_X509(file, cert) == 1);
  std::fclose(file);
}

std::string Pin(X509* cert) {
  unsigned char* der = nullptr;
  int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert), &der);
  Check(size > 0);
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(der, static_cast<std::size_t>(size), digest);
  OPENSSL_free(der);
  unsigned char text[64];
  int n = EVP_EncodeBlock(text, digest, sizeof digest);
  return "sha256//" + std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(n));
}

std::string AltName(const std::string& host) {
  return (IsIp(host) ? "IP:" : "DNS:") + host;
}

TlsFiles WriteServer(const std::string& dir, const std::string& name, EVP_PKEY* key, X509* cert) {
  TlsFiles files{dir + "/" + name + "-cert.pem", dir + "/" + name + "-key.pem", Pin(cert)};
  WriteKey(files.keyPath, key);
  WriteCertificate(files.certificatePath, cert);
  return files;
}

}  // namespace

TlsFiles MakeSelfSigned(const std::string& dir, const std::string& name,
                        const std::string& hostName, Validity validity) {
  EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
  Check(key != nullptr);
  X509* cert = MakeCertificate(key, hostName, AltName(hostName), false, validity, nullptr, nullptr);
  TlsFiles files = WriteServer(dir, name, key, cert);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}

struct TestAuthority::State {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
};

TestAuthority::TestAuthority(const std::string& dir, const std::string& name)
    : state_(new State), certificatePath_(dir + "/" + name + "-ca.pem") {
  state_->key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
  Check(state_->key != nullptr);
  state_->cert =
      MakeCertificate(state_->key, name + " test authority", "", true, {}, nullptr, nullptr);
  WriteCertificate(certificatePath_, state_->cert);
}

TestAuthority::~TestAuthority() {
  X509_free(state_->cert);
  EVP_PKEY_free(state_->key);
  delete state_;
}

TlsFiles TestAuthority::Issue(const std::string& dir, const std::string& name,
                              const std::string& hostName) {
  EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
  Check(key != nullptr);
  X509* cert =
      MakeCertificate(key, hostName, AltName(hostName), false, {}, state_->cert, state_->key);
  TlsFiles files = WriteServer(dir, name, key, cert);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}

}  // namespace api_test
