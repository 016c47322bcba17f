// Downloads of the self-update over HTTP or HTTPS with libcurl: into memory, or into a temporary
// file beside the file it is meant to become, so that a half download never carries a real name.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace update {

struct DownloadOptions {
  // A body longer than this is refused: at once when the server announces its length, else as
  // soon as the bytes pass it.
  std::uint64_t maxBytes = 0;
  // Asks every cache on the way for a fresh copy.
  bool fresh = false;
  // Set from another thread to stop the transfer; the download then fails.
  const std::atomic<bool>* cancel = nullptr;
  // The connection must be up within this time.
  std::chrono::milliseconds connectTimeout{30000};
  // Once connected, less than one byte a second for this long ends the transfer.
  std::chrono::milliseconds stallTimeout{60000};
};

enum class DownloadStatus {
  kOk,
  kFailed,     // no address, not http(s), no answer, a status other than 2xx, a write error
  kTooLarge,   // longer than maxBytes
  kCancelled,  // the cancel flag was set
};

struct DownloadResult {
  DownloadStatus status = DownloadStatus::kFailed;
  std::string error;  // what went wrong, in English, for logs and tests
  bool ok() const { return status == DownloadStatus::kOk; }
};

// Fetches `url` into `body` (emptied first). Follows redirects within http and https and takes
// the proxy of the environment. On failure `body` is empty.
DownloadResult DownloadToMemory(const std::string& url, const DownloadOptions& options,
                                std::string& body);

// Fetches `url` into a new temporary file in the folder of `targetPath` (a hidden name derived
// from the target's), written to disk before the call returns, and sets `tempPath` to it. The
// caller renames it into place or deletes it. On failure no temporary file remains and `tempPath`
// is empty.
DownloadResult DownloadToTemporaryFile(const std::string& url, const std::string& targetPath,
                                       const DownloadOptions& options, std::string& tempPath);

// Fetches `url` and replaces the file at `targetPath` with it once it has arrived whole; on
// failure the old file, if any, is left as it was.
DownloadResult DownloadFile(const std::string& url, const std::string& targetPath,
                            const DownloadOptions& options);

}  // namespace update
