#include "update/download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "api/curl_support.h"

namespace update {
namespace {

constexpr long kMaxRedirects = 10;

// Where the body of one transfer goes, and what the callbacks saw.
struct Sink {
  int fd = -1;                    // a file, or
  std::string* memory = nullptr;  // memory
  std::uint64_t maxBytes = 0;
  std::uint64_t received = 0;
  const std::atomic<bool>* cancel = nullptr;
  bool tooLarge = false;
  bool writeFailed = false;
  int writeError = 0;
  bool cancelled = false;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& sink = *static_cast<Sink*>(user);
  const std::size_t bytes = size * count;
  if (bytes > sink.maxBytes - std::min(sink.received, sink.maxBytes)) {
    sink.tooLarge = true;
    return 0;  // any count but `bytes` ends the transfer
  }
  if (sink.memory != nullptr) {
    sink.memory->append(data, bytes);
  } else if (!WriteAll(sink.fd, data, bytes)) {
    sink.writeFailed = true;
    sink.writeError = errno;
    return 0;
  }
  sink.received += bytes;
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& sink = *static_cast<Sink*>(user);
  if (sink.cancel != nullptr && sink.cancel->load()) {
    sink.cancelled = true;
    return 1;
  }
  return 0;
}

DownloadResult Failure(DownloadStatus status, std::string error) {
  return DownloadResult{status, std::move(error)};
}

DownloadResult Transfer(const std::string& url, const DownloadOptions& options, Sink& sink) {
  if (url.empty()) return Failure(DownloadStatus::kFailed, "no address");
  if (!api::CurlGlobalInit())
    return Failure(DownloadStatus::kFailed, "the transfer library did not start");
  api::CurlEasyHandle handle(curl_easy_init());
  if (!handle) return Failure(DownloadStatus::kFailed, "the transfer library did not start");
  CURL* h = handle.get();

  api::CurlHeaderList headers;
  if (options.fresh) {
    curl_slist* list = nullptr;
    for (const char* line : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
      curl_slist* grown = curl_slist_append(list, line);
      if (grown == nullptr) {
        curl_slist_free_all(list);
        return Failure(DownloadStatus::kFailed, "out of memory");
      }
      list = grown;
    }
    headers.reset(list);
  }
  sink.maxBytes = options.maxBytes;
  sink.cancel = options.cancel;
  const long stallSeconds =
      std::max<long>(1, static_cast<long>((options.stallTimeout.count() + 999) / 1000));

  CURLcode set = CURLE_OK;
  auto opt = [&](CURLoption option, auto value) {
    if (set == CURLE_OK) set = curl_easy_setopt(h, option, value);
  };
  opt(CURLOPT_URL, url.c_str());
  opt(CURLOPT_NOSIGNAL, 1L);
  opt(CURLOPT_PROTOCOLS_STR, "http,https");
  opt(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  opt(CURLOPT_FOLLOWLOCATION, 1L);
  opt(CURLOPT_MAXREDIRS, kMaxRedirects);
  opt(CURLOPT_FAILONERROR, 1L);
  opt(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
  opt(CURLOPT_LOW_SPEED_LIMIT, 1L);
  opt(CURLOPT_LOW_SPEED_TIME, stallSeconds);
  opt(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
  opt(CURLOPT_WRITEFUNCTION, &OnBody);
  opt(CURLOPT_WRITEDATA, static_cast<void*>(&sink));
  opt(CURLOPT_NOPROGRESS, 0L);
  opt(CURLOPT_XFERINFOFUNCTION, &OnProgress);
  opt(CURLOPT_XFERINFODATA, static_cast<void*>(&sink));
  if (headers) opt(CURLOPT_HTTPHEADER, headers.get());
  if (set != CURLE_OK) {
    return Failure(DownloadStatus::kFailed,
                   std::string("cannot set up the transfer: ") + curl_easy_strerror(set));
  }

  const CURLcode rc = curl_easy_perform(h);
  if (sink.cancelled) return Failure(DownloadStatus::kCancelled, "cancelled");
  if (sink.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
    return Failure(DownloadStatus::kTooLarge,
                   "larger than " + std::to_string(options.maxBytes) + " bytes");
  }
  if (sink.writeFailed) {
    return Failure(DownloadStatus::kFailed,
                   std::string("cannot write: ") + std::strerror(sink.writeError));
  }
  if (rc != CURLE_OK) return Failure(DownloadStatus::kFailed, curl_easy_strerror(rc));
  long status = 0;
  if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status < 200 ||
      status > 299) {
    return Failure(DownloadStatus::kFailed, "HTTP status " + std::to_string(status));
  }
  return DownloadResult{DownloadStatus::kOk, std::string()};
}

}  // namespace

DownloadResult DownloadToMemory(const std::string& url, const DownloadOptions& options,
                                std::string& body) {
  body.clear();
  Sink sink;
  sink.memory = &body;
  DownloadResult result = Transfer(url, options, sink);
  if (!result.ok()) body.clear();
  return result;
}

DownloadResult DownloadToTemporaryFile(const std::string& url, const std::string& targetPath,
                                       const DownloadOptions& options, std::string& tempPath) {
  tempPath.clear();
  const std::size_t slash = targetPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : targetPath.substr(0, slash);
  const std::string name = slash == std::string::npos ? targetPath : targetPath.substr(slash + 1);
  std::string pattern = folder + "/." + name + ".part-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) {
    return Failure(DownloadStatus::kFailed,
                   "cannot create a file in " + folder + ": " + std::strerror(errno));
  }
  const std::string path(buffer.data());

  Sink sink;
  sink.fd = fd;
  DownloadResult result = Transfer(url, options, sink);
  if (result.ok() && ::fsync(fd) != 0) {
    result = Failure(DownloadStatus::kFailed, "cannot write " + path + ": " + std::strerror(errno));
  }
  if (::close(fd) != 0 && result.ok()) {
    result = Failure(DownloadStatus::kFailed, "cannot write " + path + ": " + std::strerror(errno));
  }
  if (!result.ok()) {
    ::unlink(path.c_str());
    return result;
  }
  tempPath = path;
  return result;
}

DownloadResult DownloadFile(const std::string& url, const std::string& targetPath,
                            const DownloadOptions& options) {
  std::string tempPath;
  DownloadResult result = DownloadToTemporaryFile(url, targetPath, options, tempPath);
  if (!result.ok()) return result;
  if (::rename(tempPath.c_str(), targetPath.c_str()) != 0) {
    const int error = errno;
    ::unlink(tempPath.c_str());
    return Failure(DownloadStatus::kFailed,
                   "cannot replace " + targetPath + ": " + std::strerror(error));
  }
  return result;
}

}  // namespace update
