// CHttpClient: one HTTP or HTTPS request to the service API, answered by the first line of the
// body converted from UTF-8 to GBK, with a small result code.
//
// Each call site makes a client, runs one Execute and destroys it. Requests use HTTP/1.0, the
// client's fixed user agent and header lines, the proxy of the environment (http_proxy,
// https_proxy, no_proxy, all_proxy) and follow redirects within http and https. A server
// certificate is checked against the system's certificate authorities, or, when an API key pin is
// configured, must carry exactly the pinned key (host name, issuer and dates then do not matter).
//
// Clients on different threads may run at the same time; a client itself belongs to one thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "api/answer_line.h"

namespace api {

// Settings that every client takes when it is constructed.
struct HttpClientOptions {
  // The connection, the TLS handshake included, must be up within this time.
  std::chrono::milliseconds connectTimeout{30000};
  // Once connected, this long without a byte sent or received is a time-out.
  std::chrono::milliseconds idleTimeout{60000};
  // The whole request, from the start of the connection to the answer line, must end within
  // this time, however steadily the bytes come: a call with its fallback attempt, such as a
  // login, thus ends within two minutes.
  std::chrono::milliseconds deadline{60000};
  // The public-key pin ("sha256//" + base64; several joined by ";"). nullopt takes the
  // deployment's pin; an empty text verifies against the certificate authorities.
  std::optional<std::string> pin;
  // A file of trusted certificate authorities in place of the system's; empty: the system's.
  std::string caBundle;
};

class CHttpClient {
 public:
  static constexpr int REQ_SUCCESS = 0;  // the server answered with status 200
  static constexpr int REQ_FAILURE = 1;  // not http(s), another status, or a platform error
  static constexpr int REQ_TIMEOUT = 2;  // the platform error 12002, a time-out

  // The answer is cut after this many body bytes when no line feed came before.
  static constexpr std::size_t kMaxLineBytes = AnswerLine::kMaxBytes;

  // Prepares the transport once per process and takes the current options.
  CHttpClient();
  virtual ~CHttpClient();
  CHttpClient(const CHttpClient&) = delete;
  CHttpClient& operator=(const CHttpClient&) = delete;

  // Sends `verb` (GET or POST) to `url` with `body` (nullptr: none) sent as its bytes unchanged.
  // Returns REQ_SUCCESS for status 200 and REQ_FAILURE for any other status; in both cases
  // `answer` receives the first line of the body (up to the first line feed, carriage returns
  // dropped, at most kMaxLineBytes) in GBK. A URL whose scheme is not http or https returns
  // REQ_FAILURE at once, sends nothing and leaves `answer` as it was. A platform error sets
  // `answer` to "CInternetException error, error code = N!" and returns REQ_TIMEOUT for N = 12002,
  // else REQ_FAILURE. The connect, idle and overall time limits of HttpClientOptions all end in
  // 12002.
  int Execute(std::string_view verb, const std::string& url, const std::string* body,
              std::string& answer);

  // Sets the options that clients constructed from now on take.
  static void SetDefaultOptions(const HttpClientOptions& options);
  // Returns the options that a client constructed now takes.
  static HttpClientOptions DefaultOptions();

 private:
  HttpClientOptions options_;
  std::string pin_;  // resolved at construction
  bool ready_;       // the transport could be prepared
};

}  // namespace api
