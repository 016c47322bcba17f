#include "update/verified_download.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "update/download.h"
#include "update/signature.h"

namespace update {

bool DownloadVerifiedProgram(const std::string& url, const std::string& targetPath,
                             std::string_view publicKey, const std::atomic<bool>* cancel,
                             std::string& error, std::uint64_t maxBytes) {
  if (publicKey.empty()) {
    // Without a key nothing could be trusted, so nothing is fetched.
    error = "no update key is configured";
    return false;
  }
  DownloadOptions options;
  options.maxBytes = maxBytes;
  options.fresh = true;
  options.cancel = cancel;
  std::string tempPath;
  DownloadResult result = DownloadToTemporaryFile(url, targetPath, options, tempPath);
  if (!result.ok()) {
    error = url + ": " + result.error;
    return false;
  }

  auto discard = [&](std::string why) {
    ::unlink(tempPath.c_str());
    error = std::move(why);
    return false;
  };
  std::string signature;
  options.maxBytes = kMaxSignatureBytes;
  result = DownloadToMemory(url + ".sig", options, signature);
  if (!result.ok()) return discard(url + ".sig: " + result.error);
  std::string verifyError;
  if (!VerifyFileSignature(tempPath, signature, publicKey, verifyError)) {
    return discard(verifyError);
  }
  if (::chmod(tempPath.c_str(), 0755) != 0) {
    return discard("cannot make " + tempPath + " runnable: " + std::strerror(errno));
  }
  if (::rename(tempPath.c_str(), targetPath.c_str()) != 0) {
    return discard("cannot replace " + targetPath + ": " + std::strerror(errno));
  }
  return true;
}

bool DownloadVersionFile(const std::string& url, const std::string& path, std::string& error) {
  DownloadOptions options;
  options.maxBytes = kMaxVersionFileBytes;
  DownloadResult result = DownloadFile(url, path, options);
  if (!result.ok()) {
    error = url + ": " + result.error;
    return false;
  }
  return true;
}

}  // namespace update
