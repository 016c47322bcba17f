#include "service/connection_guard.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "service/request_log.h"

namespace service {
namespace {

using Clock = std::chrono::steady_clock;

// One accepted connection, from its acceptance to the end of its job.
struct Connection {
  int fd = -1;              // -1 when its socket could not be told apart; then it is never cut
  ino_t inode = 0;          // the socket's inode, so that a reused descriptor is never cut
  Clock::time_point since;  // acceptance, or the end of the last answer
  bool answering = false;   // the request is in hand: no time limit until the answer is out
  bool cut = false;
};

// The local port of TCP socket `fd`; 0 when it has none.
int LocalPort(int fd) {
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  if (local.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
  }
  if (local.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port);
  }
  return 0;
}

// Calls `visit(fd, inode, port)` for every TCP socket of the process with its local port;
// `connected` picks connected sockets, else listening ones. Returns false when the descriptors
// could not be listed (the process is out of them).
template <typename Visit>
bool ForEachSocket(bool connected, Visit visit) {
  DIR* folder = ::opendir("/proc/self/fd");
  if (folder == nullptr) return false;
  const int folderFd = ::dirfd(folder);
  while (const dirent* entry = ::readdir(folder)) {
    char* end = nullptr;
    const long number = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || number == folderFd) continue;
    const int fd = static_cast<int>(number);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) continue;
    int listening = 0;
    socklen_t length = sizeof listening;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0) continue;
    if ((listening != 0) == connected) continue;
    if (const int port = LocalPort(fd); port != 0) visit(fd, status.st_ino, port);
  }
  ::closedir(folder);
  return true;
}

// The job queue httplib hands each accepted connection to. httplib gives the queue a job but not
// its socket; the socket accepted just before a job is queued is the one connected socket on the
// server's port that no known connection holds, found among the process's descriptors.
class ConnectionQueue : public httplib::TaskQueue {
 public:
  ConnectionQueue(int port, const ConnectionLimits& limits)
      : port_(port), limits_(limits), watch_([this] { Watch(); }) {}

  ~ConnectionQueue() override { shutdown(); }

  // Runs on the accepting thread, right after the connection was accepted.
  void enqueue(std::function<void()> job) override {
    std::lock_guard lock(mutex_);
    connections_.push_back({-1, 0, Clock::now(), false, false});
    FindNewSocket(connections_.back());
    jobs_.push_back({std::move(job), std::prev(connections_.end())});
    watchWake_.notify_all();
    // Every queued job needs a worker of its own: an idle worker may be taken by a connection
    // that then sends nothing for seconds.
    if (jobs_.size() <= idleWorkers_) {
      workReady_.notify_one();
    } else if (workers_.size() < limits_.maxConnections) {
      workers_.emplace_back([this] { Work(); });
    }
  }

  // Runs on the accepting thread once the server stops: cuts every connection still sending its
  // request, lets the queued jobs end and joins every thread.
  void shutdown() override {
    std::vector<std::thread> workers;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      stopping_ = true;
      for (Connection& connection : connections_) {
        if (!connection.answering) Cut(connection);
      }
      workers.swap(workers_);
    }
    workReady_.notify_all();
    watchWake_.notify_all();
    for (std::thread& worker : workers) worker.join();
    if (watch_.joinable()) watch_.join();
  }

  // Called on a connection's own thread (through the server's hooks).
  static void RequestRead() { Mark(true); }
  static void AnswerSent() { Mark(false); }

  // The client address of the connection the calling thread serves; empty when unknown.
  static std::string ClientAddress() {
    Current& now = current();
    if (now.queue == nullptr) return std::string();
    int fd = -1;
    {
      std::lock_guard lock(now.queue->mutex_);
      fd = now.connection->fd;
    }
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
      return std::string();
    }
    char text[INET6_ADDRSTRLEN] = {};
    const void* address =
        peer.ss_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr);
    return ::inet_ntop(peer.ss_family, address, text, sizeof text) != nullptr ? text : "";
  }

 private:
  struct Job {
    std::function<void()> run;
    std::list<Connection>::iterator connection;
  };

  // The connection of the job the calling thread runs, if any.
  struct Current {
    ConnectionQueue* queue = nullptr;
    std::list<Connection>::iterator connection;
  };
  static Current& current() {
    thread_local Current value;
    return value;
  }

  static void Mark(bool answering) {
    Current& now = current();
    if (now.queue == nullptr) return;
    std::lock_guard lock(now.queue->mutex_);
    now.connection->answering = answering;
    now.connection->since = Clock::now();
    if (!answering) now.queue->watchWake_.notify_all();
  }

  // Holds mutex_.
  // When the look finds no socket or several (the one before could not look: the process was
  // out of descriptors), the connections involved are only bounded by httplib's own time-outs,
  // and their sockets are passed over from then on, so that the next look finds one again.
  void FindNewSocket(Connection& connection) {
    std::vector<std::pair<int, ino_t>> candidates;
    std::set<ino_t> present;
    const bool listed = ForEachSocket(true, [&](int fd, ino_t inode, int port) {
      if (port != port_) return;
      present.insert(inode);
      if (!Known(inode) && !passedOver_.contains(inode)) candidates.emplace_back(fd, inode);
    });
    if (!listed) return;
    std::erase_if(passedOver_, [&present](ino_t inode) { return !present.contains(inode); });
    if (candidates.size() == 1) {
      connection.fd = candidates.front().first;
      connection.inode = candidates.front().second;
      return;
    }
    for (const auto& candidate : candidates) passedOver_.insert(candidate.second);
  }

  // Holds mutex_.
  bool Known(ino_t inode) const {
    for (const Connection& connection : connections_) {
      if (connection.fd >= 0 && connection.inode == inode) return true;
    }
    return false;
  }

  // Holds mutex_. Shuts the socket down, so that every wait of httplib on it ends and the
  // connection closes; httplib still owns and closes the descriptor.
  static void Cut(Connection& connection) {
    if (connection.fd < 0 || connection.cut) return;
    struct stat status {};
    if (::fstat(connection.fd, &status) == 0 && status.st_ino == connection.inode) {
      ::shutdown(connection.fd, SHUT_RDWR);
    }
    connection.cut = true;
  }

  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      ++idleWorkers_;
      workReady_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
      --idleWorkers_;
      if (jobs_.empty()) return;  // stopping, and nothing left to run
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      current() = {this, job.connection};
      lock.unlock();
      job.run();  // httplib serves the connection and closes its socket
      lock.lock();
      current() = {};
      connections_.erase(job.connection);
    }
  }

  // Cuts each connection at the end of its request time. Sleeps until the next such end, or
  // until a connection starts waiting for a request (enqueue, AnswerSent) or the queue stops.
  void Watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      const auto now = Clock::now();
      std::optional<Clock::time_point> next;
      for (Connection& connection : connections_) {
        if (connection.answering || connection.cut) continue;
        const auto end = connection.since + limits_.requestTime;
        if (end <= now) {
          Cut(connection);
        } else if (!next || end < *next) {
          next = end;
        }
      }
      if (next) {
        watchWake_.wait_until(lock, *next);
      } else {
        watchWake_.wait(lock);
      }
    }
  }

  const int port_;
  const ConnectionLimits limits_;
  // Every member below is guarded by mutex_: the accepting thread, the workers and the watch
  // take it for each look or change.
  std::mutex mutex_;
  std::condition_variable workReady_;  // a job was queued, or the queue stops
  std::condition_variable watchWake_;  // a connection waits for its request, or the queue stops
  std::list<Connection> connections_;
  std::set<ino_t> passedOver_;  // sockets of the port that could not be told apart
  std::deque<Job> jobs_;
  std::vector<std::thread> workers_;
  std::size_t idleWorkers_ = 0;
  bool stopping_ = false;
  std::thread watch_;  // started last: it takes mutex_ at once
};

}  // namespace

void GuardConnections(httplib::Server& server, int port, std::string name,
                      const ConnectionLimits& limits) {
  // httplib listens with a queue of 5 connections waiting to be accepted: a burst of clients
  // then waits a second or more for each retried connect. Listening again on the same socket
  // only lengthens the queue.
  ForEachSocket(false, [port](int fd, ino_t, int localPort) {
    if (localPort == port) ::listen(fd, SOMAXCONN);
  });
  server.new_task_queue = [port, limits] { return new ConnectionQueue(port, limits); };
  // Called once the request is read whole (or refused), before the answer is written.
  server.set_post_routing_handler(
      [](const httplib::Request&, httplib::Response&) { ConnectionQueue::RequestRead(); });
  // Called once the answer is written; a kept-alive connection then waits for its next request.
  server.set_logger([name = std::move(name)](const httplib::Request& request,
                                             const httplib::Response& response) {
    // httplib names the client only once it has read a request line.
    LogRequest(name,
               request.remote_addr.empty() ? ConnectionQueue::ClientAddress() : request.remote_addr,
               request, response);
    ConnectionQueue::AnswerSent();
  });
}

}  // namespace service
