#include "api/http_client.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#include "api/answer_line.h"
#include "api/curl_support.h"
#include "api/wininet_error.h"
#include "settings/deployment.h"
#include "text/gbk.h"

namespace api {
namespace {

constexpr char kUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)";

// The client's own header lines, in the order they are sent. Each is the only header of its name:
// libcurl leaves out its own Accept and Content-Type lines when the request carries them.
constexpr const char* kHeaderLines[] = {
    "Accept: */*,application/json",
    "Accept-Charset:UTF8",
    "Accept-Language: zh-cn;q=0.8,en;q=0.6,ja;q=0.4",
    "Content-Type:application/json",
};

constexpr long kMaxRedirects = 10;

std::mutex& OptionsMutex() {
  static std::mutex mutex;
  return mutex;
}

HttpClientOptions& SharedOptions() {
  static HttpClientOptions options;
  return options;
}

using EasyHandle = CurlEasyHandle;
using HeaderList = CurlHeaderList;

using Clock = std::chrono::steady_clock;

// What the callbacks of one transfer share.
struct Transfer {
  AnswerLine line;
  bool connected = false;  // the request is about to be sent: the idle watch runs
  bool idleTimedOut = false;
  Clock::time_point lastActivity = Clock::now();
  curl_off_t lastDown = 0;
  curl_off_t lastUp = 0;
  Clock::duration idleTimeout{};
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t total = size * count;
  transfer->lastActivity = Clock::now();
  // Anything after the first line is not read: a complete line ends the transfer here.
  return transfer->line.Take(std::string_view(data, total)) ? total : 0;
}

size_t OnHeader(char*, size_t size, size_t count, void* user) {
  static_cast<Transfer*>(user)->lastActivity = Clock::now();
  return size * count;
}

// Called once the connection (the TLS handshake included) is up, right before the request goes
// out, again for each redirect. From here on the connect time-out no longer applies.
int OnRequestReady(void* user, char*, char*, int, int) {
  auto* transfer = static_cast<Transfer*>(user);
  transfer->connected = true;
  transfer->lastActivity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

// libcurl calls this often while data flows and about once a second while the line is silent.
int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* transfer = static_cast<Transfer*>(user);
  const auto now = Clock::now();
  if (down != transfer->lastDown || up != transfer->lastUp) {
    transfer->lastDown = down;
    transfer->lastUp = up;
    transfer->lastActivity = now;
  }
  if (transfer->connected && now - transfer->lastActivity >= transfer->idleTimeout) {
    transfer->idleTimedOut = true;
    return 1;
  }
  return 0;
}

bool IsHttpScheme(std::string_view url) {
  std::size_t end = url.find("://");
  if (end == std::string_view::npos) return false;
  std::string_view scheme = url.substr(0, end);
  return text::EqualsNoCase(scheme, "http") || text::EqualsNoCase(scheme, "https");
}

int PlatformError(int number, std::string& answer) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "CInternetException error, error code = %d!", number);
  answer = buffer;
  return number == kErrorTimeout ? CHttpClient::REQ_TIMEOUT : CHttpClient::REQ_FAILURE;
}

// Applies every option of the request; returns the first failure.
CURLcode Configure(CURL* handle, std::string_view verb, const std::string& url,
                   const std::string* body, curl_slist* headers, Transfer& transfer,
                   const HttpClientOptions& options, const std::string& pin) {
  const std::string method = verb.empty() ? std::string("GET") : std::string(verb);
  CURLcode rc = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (rc == CURLE_OK) rc = curl_easy_setopt(handle, option, value);
  };
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, kMaxRedirects);
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  set(CURLOPT_USERAGENT, kUserAgent);
  set(CURLOPT_HTTPHEADER, headers);
  set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
  set(CURLOPT_TIMEOUT_MS, static_cast<long>(options.deadline.count()));

  if (body != nullptr) {
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    set(CURLOPT_POSTFIELDS, body->data());
    if (method != "POST") set(CURLOPT_CUSTOMREQUEST, method.c_str());
  } else if (method == "POST") {
    set(CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t{0});
    set(CURLOPT_POSTFIELDS, "");
  } else if (method == "GET") {
    set(CURLOPT_HTTPGET, 1L);
  } else {
    set(CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  if (!pin.empty()) {
    // The pinned key alone decides: libcurl still compares the server's key with the pin after
    // the handshake and before any byte of the request is sent, and refuses any other key.
    set(CURLOPT_SSL_VERIFYPEER, 0L);
    set(CURLOPT_SSL_VERIFYHOST, 0L);
    set(CURLOPT_PINNEDPUBLICKEY, pin.c_str());
  } else {
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caBundle.empty()) set(CURLOPT_CAINFO, options.caBundle.c_str());
  }

  set(CURLOPT_WRITEFUNCTION, OnBody);
  set(CURLOPT_WRITEDATA, &transfer);
  set(CURLOPT_HEADERFUNCTION, OnHeader);
  set(CURLOPT_HEADERDATA, &transfer);
  set(CURLOPT_PREREQFUNCTION, OnRequestReady);
  set(CURLOPT_PREREQDATA, &transfer);
  set(CURLOPT_XFERINFOFUNCTION, OnProgress);
  set(CURLOPT_XFERINFODATA, &transfer);
  set(CURLOPT_NOPROGRESS, 0L);
  return rc;
}

}  // namespace

CHttpClient::CHttpClient() : options_(DefaultOptions()), ready_(CurlGlobalInit()) {
  pin_ = options_.pin ? *options_.pin : settings::CurrentDeployment().apiPin;
}

CHttpClient::~CHttpClient() = default;

void CHttpClient::SetDefaultOptions(const HttpClientOptions& options) {
  std::lock_guard lock(OptionsMutex());
  SharedOptions() = options;
}

HttpClientOptions CHttpClient::DefaultOptions() {
  std::lock_guard lock(OptionsMutex());
  return SharedOptions();
}

int CHttpClient::Execute(std::string_view verb, const std::string& url, const std::string* body,
                         std::string& answer) {
  if (!IsHttpScheme(url)) return REQ_FAILURE;
  if (!ready_) return PlatformError(kErrorInternal, answer);

  EasyHandle handle(curl_easy_init());
  if (!handle) return PlatformError(kErrorOutOfHandles, answer);
  HeaderList headers;
  for (const char* line : kHeaderLines) {
    curl_slist* extended = curl_slist_append(headers.get(), line);
    if (extended == nullptr) return PlatformError(kErrorInternal, answer);
    headers.release();
    headers.reset(extended);
  }

  Transfer transfer;
  transfer.idleTimeout = options_.idleTimeout;
  CURLcode rc = Configure(handle.get(), verb, url, body, headers.get(), transfer, options_, pin_);
  if (rc != CURLE_OK) return PlatformError(WinInetErrorFor(rc, 0, 0), answer);

  rc = curl_easy_perform(handle.get());
  const bool stoppedByUs = rc == CURLE_WRITE_ERROR && transfer.line.complete();
  if (rc != CURLE_OK && !stoppedByUs) {
    if (rc == CURLE_ABORTED_BY_CALLBACK && transfer.idleTimedOut) {
      return PlatformError(kErrorTimeout, answer);
    }
    long osErrno = 0;
    long status = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_OS_ERRNO, &osErrno);
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    return PlatformError(WinInetErrorFor(rc, osErrno, status), answer);
  }

  long status = 0;
  curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
  answer = transfer.line.Gbk();
  return status == 200 ? REQ_SUCCESS : REQ_FAILURE;
}

}  // namespace api
