// Ed25519 signatures of program files: the update server publishes beside each program file the
// base64 text of the 64-byte signature of its bytes, checked against the deployment's key.
#pragma once

#include <string>
#include <string_view>

namespace update {

// Decodes standard base64 with its padding; blanks and line ends around the text are ignored.
// Returns false, with `bytes` emptied, for any other character, a wrong length or bad padding.
bool DecodeBase64(std::string_view text, std::string& bytes);

// Checks that `signatureText` (base64 of a 64-byte Ed25519 signature, a line feed allowed after
// it) signs the whole file at `path` under `publicKey` (base64 of the 32-byte Ed25519 public
// key). Returns false with `error` set when there is no key, the key or the signature is
// malformed, the file cannot be read, or the signature does not match.
bool VerifyFileSignature(const std::string& path, std::string_view signatureText,
                         std::string_view publicKey, std::string& error);

}  // namespace update
