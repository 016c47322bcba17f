// A scripted service API on loopback for window tests: each endpoint answers with the status and
// body a test sets, and every request is recorded. Plain HTTP, so tests need no certificates.
#pragma once

#include <httplib.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace apptest {

class FakeApi {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    int delayMs = 0;
  };
  struct Request {
    std::string endpoint;
    std::string body;
  };

  FakeApi() {
    server_.Post(R"(/api/(\w+))",
                 [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res); });
    server_.Get(R"(/api/(\w+))",
                [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() reaches only a running accept loop: a server stopped before its loop has started
    // would block its thread in accept for good.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~FakeApi() {
    server_.stop();
    thread_.join();
  }

  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/api/"; }
  void Set(const std::string& endpoint, Reply reply) {
    std::lock_guard lock(mutex_);
    replies_[endpoint] = std::move(reply);
  }
  // Runs `hook` with the endpoint's name as each request arrives, before it is answered.
  void OnRequest(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
  }
  std::vector<Request> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  int Count(const std::string& endpoint) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& r : requests_) n += r.endpoint == endpoint ? 1 : 0;
    return n;
  }

 private:
  void Answer(const httplib::Request& req, httplib::Response& res) {
    Reply reply;
    std::function<void(const std::string&)> hook;
    {
      std::lock_guard lock(mutex_);
      hook = hook_;
    }
    if (hook) hook(req.matches[1]);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back({req.matches[1], req.body});
      auto it = replies_.find(req.matches[1]);
      if (it != replies_.end()) {
        reply = it->second;
      } else {
        reply = Reply{404, "not found"};
      }
    }
    if (reply.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    res.status = reply.status;
    res.set_content(reply.body, "application/json");
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::vector<Request> requests_;
  std::function<void(const std::string&)> hook_;
};

}  // namespace apptest
