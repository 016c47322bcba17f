#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace api_test {
namespace {

int ListenOnLoopback(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    std::abort();
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ListenOnLoopback(port_);
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  std::uint64_t one = 1;
  (void)::write(wakeFd_, &one, sizeof one);
  acceptThread_.join();
  for (std::thread& thread : handlers_) thread.join();
  ::close(listenFd_);
  ::close(wakeFd_);
}

void RawServer::AcceptLoop() {
  while (!stopping_) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN)) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    handlers_.emplace_back([this, fd] {
      handler_(*this, fd);
      ::close(fd);
    });
  }
}

std::string RawServer::ReadRequest(int fd) {
  std::string request;
  char buffer[4096];
  std::size_t headerEnd = std::string::npos;
  std::size_t wanted = 0;
  while (true) {
    if (headerEnd == std::string::npos) {
      headerEnd = request.find("\r\n\r\n");
      if (headerEnd != std::string::npos) {
        headerEnd += 4;
        std::size_t length = request.find("Content-Length: ");
        wanted = headerEnd;
        if (length != std::string::npos && length < headerEnd) {
          wanted += std::strtoul(request.c_str() + length + 16, nullptr, 10);
        }
      }
    }
    if (headerEnd != std::string::npos && request.size() >= wanted) return request;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return std::string();
    request.append(buffer, static_cast<std::size_t>(n));
  }
}

bool RawServer::Send(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size() && !stopping_) {
    pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN)) return false;
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return sent == bytes.size();
}

void RawServer::WaitForClose(int fd) {
  char buffer[4096];
  while (!stopping_) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN)) return;
    if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return;
  }
}

HttpServerThread::HttpServerThread(std::unique_ptr<httplib::Server> server)
    : server_(std::move(server)) {
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) std::abort();
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() reaches only a running accept loop.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpServerThread::~HttpServerThread() {
  server_->stop();
  thread_.join();
}

std::string HttpServerThread::Origin(bool tls) const {
  return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

int ClosedPort() {
  int port = 0;
  int fd = ListenOnLoopback(port);
  ::close(fd);
  return port;
}

}  // namespace api_test
