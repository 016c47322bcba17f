// The error numbers of the platform's internet functions that the HTTP client reports, and the
// table that turns a libcurl failure into one of them.
#pragma once

#include <curl/curl.h>

namespace api {

// The numbers that the client's error texts carry.
enum WinInetError : int {
  kErrorOutOfHandles = 12001,           // no transfer handle could be made
  kErrorTimeout = 12002,                // connect or idle time-out
  kErrorInternal = 12004,               // anything the table below does not name
  kErrorInvalidUrl = 12005,             // the URL could not be understood
  kErrorUnrecognizedScheme = 12006,     // a redirect to a scheme other than http or https
  kErrorNameNotResolved = 12007,        // host or proxy name not resolved
  kErrorOperationCancelled = 12017,     // a callback ended the transfer for another reason
  kErrorCannotConnect = 12029,          // connection refused, unreachable, proxy refused
  kErrorConnectionAborted = 12030,      // the connection broke off while sending or reading
  kErrorConnectionReset = 12031,        // the peer reset the connection
  kErrorInvalidServerResponse = 12152,  // nothing, or no HTTP, came back
  kErrorRedirectFailed = 12156,         // too many redirects
  kErrorSecurityChannel = 12157,        // the TLS handshake failed
  kErrorInvalidCertificate = 12169,     // the server's certificate was refused (CA, host, pin)
};

// Returns the platform error number for a failed transfer. `osErrno` is the system error that
// libcurl saw last (CURLINFO_OS_ERRNO), used to tell a reset connection from a broken one;
// `httpStatus` the last status received (0 for none), used to tell a redirect to another scheme
// from an answer that is no HTTP.
//
//   CURLE_OPERATION_TIMEDOUT                               12002
//   CURLE_COULDNT_RESOLVE_HOST, CURLE_COULDNT_RESOLVE_PROXY  12007
//   CURLE_COULDNT_CONNECT, CURLE_PROXY                     12029
//   CURLE_SEND_ERROR, CURLE_RECV_ERROR                     12031 on ECONNRESET, else 12030
//   CURLE_PARTIAL_FILE                                     12030
//   CURLE_GOT_NOTHING, CURLE_WEIRD_SERVER_REPLY,
//     CURLE_HTTP2, CURLE_HTTP2_STREAM, CURLE_BAD_CONTENT_ENCODING  12152
//   CURLE_SSL_CONNECT_ERROR, CURLE_SSL_CIPHER, CURLE_SSL_CERTPROBLEM, CURLE_SSL_ENGINE_*,
//     CURLE_SSL_SHUTDOWN_FAILED, CURLE_SSL_CACERT_BADFILE, CURLE_SSL_CRL_BADFILE,
//     CURLE_SSL_CLIENTCERT, CURLE_USE_SSL_FAILED           12157
//   CURLE_PEER_FAILED_VERIFICATION, CURLE_SSL_PINNEDPUBKEYNOTMATCH,
//     CURLE_SSL_ISSUER_ERROR, CURLE_SSL_INVALIDCERTSTATUS  12169
//   CURLE_TOO_MANY_REDIRECTS                               12156
//   CURLE_UNSUPPORTED_PROTOCOL after a 3xx status          12006 (a redirect to another scheme)
//   CURLE_UNSUPPORTED_PROTOCOL otherwise                   12152 (an HTTP/0.9 answer)
//   CURLE_URL_MALFORMAT                                    12005
//   CURLE_ABORTED_BY_CALLBACK                              12017
//   CURLE_FAILED_INIT                                      12001
//   anything else (CURLE_OUT_OF_MEMORY, ...)               12004
int WinInetErrorFor(CURLcode code, long osErrno, long httpStatus);

}  // namespace api
