#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "settings/program_dir.h"
#include "update/program_launch.h"

extern char** environ;

namespace update {
namespace {

// Signals that a client commonly ignores; an ignored signal would stay ignored across exec.
constexpr int kResetSignals[] = {SIGPIPE, SIGHUP,  SIGINT,  SIGQUIT,
                                 SIGTERM, SIGCHLD, SIGUSR1, SIGUSR2};

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

bool StartProgram(const std::string& path, std::string& error) {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  if (posix_spawnattr_init(&attributes) != 0) {
    error = "cannot prepare the start";
    return false;
  }
  if (posix_spawn_file_actions_init(&actions) != 0) {
    posix_spawnattr_destroy(&attributes);
    error = "cannot prepare the start";
    return false;
  }
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int number : kResetSignals) sigaddset(&defaults, number);
  int rc = posix_spawnattr_setsigmask(&attributes, &none);
  if (rc == 0) rc = posix_spawnattr_setsigdefault(&attributes, &defaults);
  if (rc == 0) {
    rc = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (rc == 0) {
    std::vector<char> program(path.begin(), path.end());
    program.push_back('\0');
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    rc = posix_spawn(&pid, program.data(), &actions, &attributes, argv, environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    error = "cannot start " + path + ": " + std::strerror(rc);
    return false;
  }
  return true;
}

bool DeletePreviousProgram(const std::string& path) {
  if (path.empty()) return false;
  // Linux would let a running program's file go; the program never deletes its own.
  if (SameFile(path, settings::ProgramPath())) return false;
  return ::unlink(path.c_str()) == 0;
}

}  // namespace update
