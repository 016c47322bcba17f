// What every libcurl transfer of the client shares: the one-time start of the library and
// owners that always release an easy handle and a header list.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace api {

// Starts libcurl once per process (curl_global_init must not run twice or concurrently).
// Returns false when it could not start; every transfer then fails.
bool CurlGlobalInit();

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasyHandle = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlHeaderList = std::unique_ptr<curl_slist, CurlListDeleter>;

}  // namespace api
