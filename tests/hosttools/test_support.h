// Helpers of the host tools tests: temporary folders, scoped environment variables, files, and
// processes of the test's own under a chosen executable name.
#pragma once

#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hosttools/process_table.h"

extern char** environ;

namespace hosttools_test {

using TempDir = testsupport::TempDir;

// Sets (or, with nullopt, removes) an environment variable for the lifetime of the object.
using ScopedEnv = testsupport::ScopedEnv;

inline std::optional<std::string> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  ::chmod(path.c_str(), mode);
}

// Writes an executable shell script.
inline void WriteScript(const std::string& path, const std::string& body) {
  WriteAll(path, "#!/bin/sh\n" + body, 0755);
}

// Copies the program at `from` to `to`, executable, so that it runs under the name of `to`.
inline void CopyProgram(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  ::chmod(to.c_str(), 0755);
}

// Waits, without a tight limit, until `done` holds; returns whether it did.
template <typename Predicate>
bool WaitFor(Predicate done, std::chrono::seconds limit = std::chrono::seconds(20)) {
  auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// True when the process is gone or a zombie waiting for its parent.
inline bool HasEnded(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  std::size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

// The pids of the current descendants of `pid`.
inline std::vector<int> Descendants(int pid) {
  std::vector<int> found;
  std::vector<int> parents = {pid};
  auto snapshot = hosttools::TakeProcessSnapshot();
  if (!snapshot) return found;
  for (std::size_t i = 0; i < parents.size(); ++i) {
    for (const auto& entry : *snapshot) {
      if (entry.parentPid == parents[i]) {
        found.push_back(entry.pid);
        parents.push_back(entry.pid);
      }
    }
  }
  return found;
}

// A process of the test's own, killed and reaped on destruction unless it was reaped before.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    if (::posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
  }
  ~ChildProcess() {
    if (pid_ <= 0 || reaped_) return;
    for (int pid : Descendants(pid_)) ::kill(pid, SIGKILL);
    ::kill(pid_, SIGKILL);
    Reap();
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int pid() const { return pid_; }

  // Waits for the process to end and returns its wait status.
  int Reap() {
    if (pid_ > 0 && !reaped_) {
      while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
      }
      reaped_ = true;
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace hosttools_test
