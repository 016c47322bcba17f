// Test helper: a program run as a child process of a test, with its standard output and error
// collected line by line, and ended with SIGTERM when the helper goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ChildProcess {
 public:
  // Starts argv[0] (a path) with `argv`, in this process's environment with `env` set on top.
  explicit ChildProcess(std::vector<std::string> argv,
                        const std::map<std::string, std::string>& env = {});
  virtual ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Every line printed so far (standard output and standard error).
  std::vector<std::string> Lines() const;
  // Waits until `count` lines satisfy `match`; false after `timeout` or once the output ended
  // short of them.
  bool WaitForLines(const std::function<bool(const std::string&)>& match, std::size_t count,
                    std::chrono::milliseconds timeout = std::chrono::seconds(30));
  void Signal(int signal);
  // Waits up to `timeout` for the process to end; its exit status (-1 when it did not exit
  // normally), or nullopt while it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  // Ends the process with SIGTERM and returns its exit status (-1 when it did not exit normally).
  int Stop();

 private:
  void ReadOutput(int fd);

  pid_t pid_ = -1;
  std::optional<int> exitStatus_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  bool outputClosed_ = false;
  std::thread reader_;
};

// Runs `argv` to its end; returns the exit status (-1 when it did not exit normally) and its
// output.
int RunToEnd(const std::vector<std::string>& argv, std::string& output);

}  // namespace testsupport
