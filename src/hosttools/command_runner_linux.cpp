#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "hosttools/command_runner.h"

extern char** environ;

namespace hosttools {
namespace {

void Report(const ErrorReport& report, std::string_view message) {
  if (report) report(message);
}

void CloseFd(int fd) {
  // close() must not be retried on EINTR on Linux: the descriptor is released either way.
  if (fd >= 0) ::close(fd);
}

// The spawn attributes and file actions of one child, released on every path.
class SpawnSetup {
 public:
  explicit SpawnSetup(int writeFd) {
    attrOk_ = ::posix_spawnattr_init(&attr_) == 0;
    actionsOk_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    if (!attrOk_ || !actionsOk_) return;
    // The child starts with every signal at its default action and none blocked, whatever the
    // caller ignores or blocks (ignored dispositions would otherwise survive the exec).
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    ready_ =
        ::posix_spawnattr_setsigdefault(&attr_, &all) == 0 &&
        ::posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
        ::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) == 0 &&
        // Duplicate first: when the caller runs with standard descriptors closed, the pipe
        // may itself be descriptor 0, 1 or 2.
        ::posix_spawn_file_actions_adddup2(&actions_, writeFd, STDOUT_FILENO) == 0 &&
        ::posix_spawn_file_actions_adddup2(&actions_, writeFd, STDERR_FILENO) == 0 &&
        ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0;
  }
  ~SpawnSetup() {
    if (attrOk_) ::posix_spawnattr_destroy(&attr_);
    if (actionsOk_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool ready() const { return ready_; }
  const posix_spawnattr_t* attr() const { return &attr_; }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }

 private:
  posix_spawnattr_t attr_{};
  posix_spawn_file_actions_t actions_{};
  bool attrOk_ = false;
  bool actionsOk_ = false;
  bool ready_ = false;
};

int DecodeWaitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

std::string RunCommand(const std::vector<std::string>& argv, const ErrorReport& report,
                       int* exitStatus) {
  if (exitStatus != nullptr) *exitStatus = -1;
  if (argv.empty() || argv.front().empty()) {
    Report(report, kCreateProcessError);
    return {};
  }

  // Both ends close on exec, so a child spawned at the same time by another thread inherits
  // neither; dup2 onto the child's standard output and error clears the flag there.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    Report(report, kCreatePipeError);
    return {};
  }
  const int readFd = fds[0];
  const int writeFd = fds[1];

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = -1;
  int spawnError = EINVAL;
  {
    SpawnSetup setup(writeFd);
    if (setup.ready()) {
      // glibc reports a failed exec (a missing program included) as the result of the call and
      // reaps the failed child itself, so the caller never sees an exit code 127 for it.
      const bool bare = argv.front().find('/') == std::string::npos;
      spawnError =
          bare ? ::posix_spawnp(&pid, args[0], setup.actions(), setup.attr(), args.data(), environ)
               : ::posix_spawn(&pid, args[0], setup.actions(), setup.attr(), args.data(), environ);
    }
  }
  // The child holds the only copies of the write end now, so the read below ends with the output.
  CloseFd(writeFd);
  if (spawnError != 0) {
    CloseFd(readFd);
    Report(report, kCreateProcessError);
    return {};
  }

  std::string output;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(readFd, buffer, sizeof buffer);
    if (n > 0) {
      output.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // end of output, or a read error that would repeat
  }
  CloseFd(readFd);

  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (exitStatus != nullptr && waited == pid) *exitStatus = DecodeWaitStatus(status);
  return output;
}

std::string FindOnPath(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos) return {};
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    std::size_t colon = folders.find(':');
    std::string_view folder = folders.substr(0, colon);
    if (!folder.empty()) {
      std::string candidate = std::string(folder) + "/" + std::string(name);
      struct stat st {};
      if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          ::access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    if (colon == std::string_view::npos) break;
    folders.remove_prefix(colon + 1);
  }
  return {};
}

}  // namespace hosttools
