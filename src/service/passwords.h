// Stored passwords of the stand-in service: salted PBKDF2-HMAC-SHA256 hashes, never the texts.
#pragma once

#include <string>
#include <string_view>

namespace service {

// Returns the stored form "pbkdf2-sha256$<iterations>$<salt>$<hash>" (base64 parts) of
// `password`, or an empty text when the system's random source failed.
std::string HashPassword(std::string_view password);

// Returns true when `password` matches the stored form `stored`; false for a malformed one.
bool VerifyPassword(std::string_view password, std::string_view stored);

}  // namespace service
