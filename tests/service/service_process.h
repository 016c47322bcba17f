// The stand-in service as a child process of a test: started on free ports in a data folder of
// the test's own, its output collected line by line, stopped with SIGTERM.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace service_test {

class ServiceProcess {
 public:
  // Starts the service with `--data dataDir`, every port 0 and `extraArgs`, and waits for its
  // "ready" line; ready() tells whether it came.
  explicit ServiceProcess(const std::string& dataDir, std::vector<std::string> extraArgs = {});
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  bool ready() const { return ready_; }
  // The value of the printed line "  export NAME=value"; empty when there is none.
  std::string Exported(const std::string& name) const;
  std::string apiBase() const { return Exported("TUNVIK_API_BASE"); }
  std::string pin() const { return Exported("TUNVIK_API_PIN"); }
  std::string registerUrl() const { return Exported("TUNVIK_REGISTER_URL"); }
  std::string updateBase() const { return Exported("TUNVIK_UPDATE_BASE"); }
  std::string updateKey() const { return Exported("TUNVIK_UPDATE_KEY"); }

  // Every line printed so far (standard output and standard error).
  std::vector<std::string> Lines() const;
  // Waits until `count` lines satisfy `match`; false after `timeout`.
  bool WaitForLines(const std::function<bool(const std::string&)>& match, std::size_t count,
                    std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Stops the service and returns its exit status (-1 when it did not exit normally).
  int Stop();

 private:
  void ReadOutput(int fd);

  pid_t pid_ = -1;
  bool ready_ = false;
  int exitStatus_ = -1;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  bool outputClosed_ = false;
  std::thread reader_;
};

// Runs the service with `args` to its end; returns the exit status and its output.
int RunServiceToEnd(const std::vector<std::string>& args, std::string& output);

}  // namespace service_test
