// Small helpers of the API tests: a temporary folder, an environment variable set for one scope,
// and the client's options for one scope.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "api/http_client.h"
#include "support/scoped_env.h"

namespace api_test {

// A fresh folder under the temporary directory, removed with its contents on destruction.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tunvik-api-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

using testsupport::ScopedEnv;

// Makes the clients constructed in this scope take `options`.
class ScopedClientOptions {
 public:
  explicit ScopedClientOptions(const api::HttpClientOptions& options)
      : old_(api::CHttpClient::DefaultOptions()) {
    api::CHttpClient::SetDefaultOptions(options);
  }
  ~ScopedClientOptions() { api::CHttpClient::SetDefaultOptions(old_); }
  ScopedClientOptions(const ScopedClientOptions&) = delete;
  ScopedClientOptions& operator=(const ScopedClientOptions&) = delete;

 private:
  api::HttpClientOptions old_;
};

// Options for tests: no pin unless given, short time-outs.
inline api::HttpClientOptions TestOptions(std::string pin = std::string()) {
  api::HttpClientOptions options;
  options.pin = std::move(pin);
  options.connectTimeout = std::chrono::milliseconds(5000);
  options.idleTimeout = std::chrono::milliseconds(5000);
  return options;
}

}  // namespace api_test
