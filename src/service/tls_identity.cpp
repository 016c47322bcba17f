#include "service/tls_identity.h"

#include <arpa/inet.h>
#include <openssl/bn.h>
#include <openssl/x509v3.h>

#include <filesystem>

#include "service/pem_files.h"

namespace service {
namespace {

constexpr long kValidDays = 3650;

bool IsIpAddress(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

bool AddExtension(X509* cert, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (extension == nullptr) return false;
  bool ok = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return ok;
}

bool SetRandomSerial(X509* cert) {
  BIGNUM* serial = BN_new();
  bool ok = serial != nullptr && BN_rand(serial, 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
            BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(cert)) != nullptr;
  BN_free(serial);
  return ok;
}

X509Ptr MakeCertificate(EVP_PKEY* key, const std::string& host) {
  X509Ptr cert(X509_new());
  if (!cert) return nullptr;
  X509_NAME* name = X509_get_subject_name(cert.get());
  std::string altNames = "DNS:localhost,IP:127.0.0.1,IP:::1";
  const bool anyAddress = host.empty() || host == "0.0.0.0" || host == "::";
  if (!anyAddress && host != "localhost" && host != "127.0.0.1" && host != "::1") {
    altNames += (IsIpAddress(host) ? ",IP:" : ",DNS:") + host;
  }
  bool ok =
      X509_set_version(cert.get(), X509_VERSION_3) == 1 && SetRandomSerial(cert.get()) &&
      X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24L * 3600) != nullptr &&
      X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidDays * 24 * 3600) != nullptr &&
      X509_set_pubkey(cert.get(), key) == 1 &&
      X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>("Tunvik stand-in service"),
                                 -1, -1, 0) == 1 &&
      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>("tunvik-service"), -1, -1,
                                 0) == 1 &&
      X509_set_issuer_name(cert.get(), name) == 1 &&
      AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
      AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature") &&
      AddExtension(cert.get(), NID_ext_key_usage, "serverAuth") &&
      AddExtension(cert.get(), NID_subject_alt_name, altNames) &&
      X509_sign(cert.get(), key, EVP_sha256()) > 0;
  return ok ? std::move(cert) : nullptr;
}

}  // namespace

std::string PublicKeyPin(X509* cert) {
  unsigned char* der = nullptr;
  int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert), &der);
  if (size <= 0) return std::string();
  std::string digest = Sha256(std::string_view(reinterpret_cast<char*>(der), size));
  OPENSSL_free(der);
  return "sha256//" + Base64(digest);
}

bool LoadOrCreateTlsIdentity(const std::string& dataDir, const std::string& host,
                             TlsIdentity& identity, std::string& error) {
  identity.certificatePath = dataDir + "/api-cert.pem";
  identity.keyPath = dataDir + "/api-key.pem";
  identity.created = false;
  std::error_code ec;
  const bool haveBoth = std::filesystem::exists(identity.certificatePath, ec) &&
                        std::filesystem::exists(identity.keyPath, ec);
  if (haveBoth) {
    X509Ptr cert = ReadCertificate(identity.certificatePath, error);
    if (!cert) return false;
    PkeyPtr key = ReadPrivateKey(identity.keyPath, error);
    if (!key) return false;
    if (X509_check_private_key(cert.get(), key.get()) != 1) {
      error = identity.keyPath + " is not the key of " + identity.certificatePath +
              "; remove both to make a new pair";
      return false;
    }
    identity.pin = PublicKeyPin(cert.get());
    return true;
  }

  PkeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!key) {
    error = "cannot make a key: " + OpenSslError();
    return false;
  }
  X509Ptr cert = MakeCertificate(key.get(), host);
  if (!cert) {
    error = "cannot make a certificate: " + OpenSslError();
    return false;
  }
  // The key first: a certificate without its key would be refused at the next start.
  if (!WritePrivateKey(identity.keyPath, key.get(), error) ||
      !WriteCertificate(identity.certificatePath, cert.get(), error)) {
    return false;
  }
  identity.pin = PublicKeyPin(cert.get());
  identity.created = true;
  return true;
}

}  // namespace service
