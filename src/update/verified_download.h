// The download of a new program file: the file and its signature from the update server, the
// signature checked against the deployment's update key, and only then the file put in place
// under its program name with its run bit set.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace update {

// The largest program file taken.
inline constexpr std::uint64_t kMaxProgramBytes = std::uint64_t{256} << 20;
// The largest version description and signature file taken.
inline constexpr std::uint64_t kMaxVersionFileBytes = 64 << 10;
inline constexpr std::uint64_t kMaxSignatureBytes = 4 << 10;

// Downloads `url` to a temporary file beside `targetPath` and `url` + ".sig", checks the
// signature against `publicKey` (base64 of the Ed25519 public key; an empty key refuses every
// file), then gives the file mode 0755 and renames it to `targetPath`. Returns false with
// `error` set when a download fails, the file is larger than `maxBytes`, `cancel` was set, or the
// signature is missing or wrong; then nothing is left at the temporary name and `targetPath` is
// as it was.
bool DownloadVerifiedProgram(const std::string& url, const std::string& targetPath,
                             std::string_view publicKey, const std::atomic<bool>* cancel,
                             std::string& error, std::uint64_t maxBytes = kMaxProgramBytes);

// Downloads the version description at `url` into `path`, replacing the file once it has
// arrived whole. Returns false with `error` set when it could not be fetched; an existing file is
// then left as it was.
bool DownloadVersionFile(const std::string& url, const std::string& path, std::string& error);

}  // namespace update
