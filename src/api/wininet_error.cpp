#include "api/wininet_error.h"

#include <cerrno>

namespace api {

int WinInetErrorFor(CURLcode code, long osErrno, long httpStatus) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return kErrorTimeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kErrorNameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
      return kErrorCannotConnect;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return osErrno == ECONNRESET ? kErrorConnectionReset : kErrorConnectionAborted;
    case CURLE_PARTIAL_FILE:
      return kErrorConnectionAborted;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_BAD_CONTENT_ENCODING:
      return kErrorInvalidServerResponse;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return kErrorSecurityChannel;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return kErrorInvalidCertificate;
    case CURLE_TOO_MANY_REDIRECTS:
      return kErrorRedirectFailed;
    case CURLE_UNSUPPORTED_PROTOCOL:
      // The first URL's scheme has been checked: only a redirect or an HTTP/0.9 answer is left.
      return httpStatus >= 300 && httpStatus < 400 ? kErrorUnrecognizedScheme
                                                   : kErrorInvalidServerResponse;
    case CURLE_URL_MALFORMAT:
      return kErrorInvalidUrl;
    case CURLE_ABORTED_BY_CALLBACK:
      return kErrorOperationCancelled;
    case CURLE_FAILED_INIT:
      return kErrorOutOfHandles;
    default:
      return kErrorInternal;
  }
}

}  // namespace api
