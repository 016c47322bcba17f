// Helpers of the update tests: a temporary folder, an Ed25519 key pair of the test's own, an
// update server of the test's own on loopback whose answers a test can hold back, and file
// listings.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace update_test {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// The names in `dir`, sorted.
inline std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A folder of the test's own under /tmp, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tunvik-update-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string Base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// An Ed25519 key pair made for one test.
class SigningKey {
 public:
  SigningKey() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free) {}
  std::string PublicKey() const {
    unsigned char raw[32];
    std::size_t size = sizeof raw;
    EVP_PKEY_get_raw_public_key(key_.get(), raw, &size);
    return Base64(std::string(reinterpret_cast<char*>(raw), size));
  }
  // The signature file's text for `message`: base64 of the signature and a line feed.
  std::string SignatureText(const std::string& message) const {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char signature[64];
    std::size_t size = sizeof signature;
    EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key_.get());
    EVP_DigestSign(ctx.get(), signature, &size,
                   reinterpret_cast<const unsigned char*>(message.data()), message.size());
    return Base64(std::string(reinterpret_cast<char*>(signature), size)) + "\n";
  }

 private:
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_;
};

// A plain HTTP server on 127.0.0.1 that serves the files a test puts in it. A held path answers
// only after Release(); the destructor releases everything first.
class FileServer {
 public:
  FileServer() {
    server_.Get(R"(/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
      Serve(request.path, response);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() reaches only a server whose accept loop runs.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~FileServer() {
    Release();
    server_.stop();
    thread_.join();
  }
  FileServer(const FileServer&) = delete;
  FileServer& operator=(const FileServer&) = delete;

  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& path) const { return Origin() + path; }

  void Put(const std::string& path, std::string body) {
    std::lock_guard lock(mutex_);
    files_[path] = std::move(body);
  }
  void Remove(const std::string& path) {
    std::lock_guard lock(mutex_);
    files_.erase(path);
  }
  // Serves `path` with a Content-Length of `declared` bytes, sending bytes until the client stops.
  void PutHuge(const std::string& path, std::size_t declared) {
    std::lock_guard lock(mutex_);
    huge_[path] = declared;
  }
  // Holds the answers to `path` until Release().
  void Hold(const std::string& path) {
    std::lock_guard lock(mutex_);
    held_.insert(path);
  }
  void Release() {
    std::lock_guard lock(mutex_);
    held_.clear();
    changed_.notify_all();
  }
  // How many requests for `path` arrived (held ones included).
  int Requests(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = requests_.find(path);
    return it == requests_.end() ? 0 : it->second;
  }

 private:
  void Serve(const std::string& path, httplib::Response& response) {
    std::string body;
    bool found = false;
    std::size_t declared = 0;
    {
      std::unique_lock lock(mutex_);
      ++requests_[path];
      changed_.wait(lock, [&] { return held_.count(path) == 0; });
      if (auto huge = huge_.find(path); huge != huge_.end()) declared = huge->second;
      if (auto it = files_.find(path); it != files_.end()) {
        found = true;
        body = it->second;
      }
    }
    if (declared > 0) {
      response.set_content_provider(declared, "application/octet-stream",
                                    [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                      std::string chunk(std::min<std::size_t>(length, 65536), 'x');
                                      return sink.write(chunk.data(), chunk.size());
                                    });
    } else if (found) {
      response.set_content(body, "application/octet-stream");
    } else {
      response.status = 404;
      response.set_content("not found\n", "text/plain");
    }
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, std::string> files_;
  std::map<std::string, std::size_t> huge_;
  std::set<std::string> held_;
  std::map<std::string, int> requests_;
};

// Polls `condition` from a thread that is not the window thread; false after `timeout`.
template <typename Condition>
bool Eventually(Condition condition,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(20000)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace update_test
