#include "api/curl_support.h"

#include <mutex>

namespace api {

bool CurlGlobalInit() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

}  // namespace api
