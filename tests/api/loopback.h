// Test servers on loopback: a raw TCP server whose connections a test handles byte by byte, an
// owner for cpp-httplib servers running on a thread, and helpers around them.
#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace api_test {

// A TCP server on 127.0.0.1 and a free port. Each connection runs `handler` on a thread of its
// own; the destructor wakes every handler waiting in WaitForClose and joins them.
class RawServer {
 public:
  using Handler = std::function<void(RawServer& server, int fd)>;
  explicit RawServer(Handler handler);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  int connections() const { return connections_.load(); }

  // Reads one HTTP request (headers and a Content-Length body) from `fd`; empty on failure.
  static std::string ReadRequest(int fd);
  // Writes all of `bytes`; false when the peer went away.
  bool Send(int fd, const std::string& bytes);
  // Blocks until the peer closes `fd` or the server stops.
  void WaitForClose(int fd);
  bool stopping() const { return stopping_.load(); }

 private:
  void AcceptLoop();

  Handler handler_;
  int listenFd_ = -1;
  int wakeFd_ = -1;  // an eventfd, readable once the server stops
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptThread_;
  std::mutex mutex_;
  std::vector<std::thread> handlers_;
};

// Runs a cpp-httplib server on 127.0.0.1 and a free port until destroyed.
class HttpServerThread {
 public:
  // Takes a configured server (routes installed); starts listening at once.
  explicit HttpServerThread(std::unique_ptr<httplib::Server> server);
  ~HttpServerThread();
  HttpServerThread(const HttpServerThread&) = delete;
  HttpServerThread& operator=(const HttpServerThread&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string Origin(bool tls = false) const;

 private:
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  std::thread thread_;
};

// Returns a port on 127.0.0.1 where nothing listens (bound once, then released).
int ClosedPort();

}  // namespace api_test
