// Certificates for the transport tests: self-signed ones for any host name and validity, and a
// small certificate authority that signs server certificates.
#pragma once

#include <string>

namespace api_test {

struct TlsFiles {
  std::string certificatePath;
  std::string keyPath;
  std::string pin;  // "sha256//" + base64 of the SHA-256 of the DER public key
};

// The validity of a certificate in days from now; negative days lie in the past.
struct Validity {
  long fromDays = -1;
  long toDays = 365;
};

// Writes a fresh key and a self-signed certificate for `hostName` (a DNS name or an IP address)
// as `name`-cert.pem and `name`-key.pem into `dir`.
TlsFiles MakeSelfSigned(const std::string& dir, const std::string& name,
                        const std::string& hostName, Validity validity = {});

// A certificate authority whose certificate is `name`-ca.pem in `dir`.
class TestAuthority {
 public:
  TestAuthority(const std::string& dir, const std::string& name);
  ~TestAuthority();
  TestAuthority(const TestAuthority&) = delete;
  TestAuthority& operator=(const TestAuthority&) = delete;

  const std::string& certificatePath() const { return certificatePath_; }
  // Writes a fresh key and a certificate for `hostName` signed by this authority.
  TlsFiles Issue(const std::string& dir, const std::string& name, const std::string& hostName);

 private:
  struct State;
  State* state_;
  std::string certificatePath_;
};

}  // namespace api_test
