#include "service_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

extern char** environ;

namespace service_test {
namespace {

// Starts the service binary with `args`, its standard output and error into a pipe whose read
// end goes to `readFd`.
pid_t Spawn(const std::vector<std::string>& args, int& readFd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  std::vector<std::string> all = {TUNVIK_SERVICE_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  readFd = fds[0];
  return pid;
}

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ServiceProcess::ServiceProcess(const std::string& dataDir, std::vector<std::string> extraArgs) {
  std::vector<std::string> args = {"--data",     dataDir, "--api-port",    "0",
                                   "--web-port", "0",     "--update-port", "0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  int fd = -1;
  pid_ = Spawn(args, fd);
  if (pid_ < 0) return;
  reader_ = std::thread([this, fd] { ReadOutput(fd); });
  ready_ = WaitForLines([](const std::string& line) { return line == "ready"; }, 1);
}

ServiceProcess::~ServiceProcess() {
  Stop();
}

void ServiceProcess::ReadOutput(int fd) {
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

std::string ServiceProcess::Exported(const std::string& name) const {
  const std::string prefix = "  export " + name + "=";
  std::lock_guard lock(mutex_);
  for (const std::string& line : lines_) {
    if (line.starts_with(prefix)) return line.substr(prefix.size());
  }
  return std::string();
}

std::vector<std::string> ServiceProcess::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool ServiceProcess::WaitForLines(const std::function<bool(const std::string&)>& match,
                                  std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), match)) >= count ||
           outputClosed_;
  }) && static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), match)) >= count;
}

int ServiceProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) exitStatus_ = ExitStatus(status);
    pid_ = -1;
  }
  if (reader_.joinable()) reader_.join();
  return exitStatus_;
}

int RunServiceToEnd(const std::vector<std::string>& args, std::string& output) {
  int fd = -1;
  pid_t pid = Spawn(args, fd);
  if (pid < 0) return -1;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
    output.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return ExitStatus(status);
}

}  // namespace service_test
