#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

extern char** environ;

namespace testsupport {
namespace {

// Starts `args` with `env` on top of this environment, its standard output and error into a
// pipe whose read end goes to `readFd`.
pid_t Spawn(std::vector<std::string> args, const std::map<std::string, std::string>& env,
            int& readFd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    if (env.count(entry.substr(0, entry.find('='))) == 0) entries.push_back(entry);
  }
  for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  readFd = fds[0];
  return pid;
}

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv,
                           const std::map<std::string, std::string>& env) {
  int fd = -1;
  pid_ = Spawn(std::move(argv), env, fd);
  if (pid_ < 0) {
    if (fd >= 0) ::close(fd);
    return;
  }
  reader_ = std::thread([this, fd] { ReadOutput(fd); });
}

ChildProcess::~ChildProcess() {
  Stop();
}

void ChildProcess::ReadOutput(int fd) {
  std::string pending;
  char buffer[4096];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::lock_guard lock(mutex_);
      lines_.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
      changed_.notify_all();
    }
  }
  ::close(fd);
  std::lock_guard lock(mutex_);
  if (!pending.empty()) lines_.push_back(pending);
  outputClosed_ = true;
  changed_.notify_all();
}

std::vector<std::string> ChildProcess::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool ChildProcess::WaitForLines(const std::function<bool(const std::string&)>& match,
                                std::size_t count, std::chrono::milliseconds timeout) {
  auto enough = [&] {
    return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), match)) >= count;
  };
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return enough() || outputClosed_; });
  return enough();
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0 && !exitStatus_) ::kill(pid_, signal);
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (pid_ <= 0 || exitStatus_) return exitStatus_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      exitStatus_ = ExitStatus(status);
      return exitStatus_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int ChildProcess::Stop() {
  if (pid_ > 0 && !exitStatus_) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) exitStatus_ = ExitStatus(status);
  }
  if (reader_.joinable()) reader_.join();
  return exitStatus_.value_or(-1);
}

int RunToEnd(const std::vector<std::string>& argv, std::string& output) {
  int fd = -1;
  pid_t pid = Spawn(argv, {}, fd);
  if (pid < 0) return -1;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return ExitStatus(status);
}

}  // namespace testsupport
