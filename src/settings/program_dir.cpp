#include "settings/program_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <string_view>

namespace settings {
namespace {

constexpr std::string_view kSettingsFileName = "/XolConfig.ini";
constexpr std::string_view kDeletedSuffix = " (deleted)";

std::mutex& OverrideMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& OverrideDirectory() {
  static std::string dir;
  return dir;
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

}  // namespace

std::string ProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  std::string path(buffer, static_cast<std::size_t>(n));
  // Once the program file has been replaced (a self-update) the kernel marks the old name.
  struct stat st {};
  if (path.ends_with(kDeletedSuffix) && ::lstat(path.c_str(), &st) != 0) {
    path.resize(path.size() - kDeletedSuffix.size());
  }
  return path;
}

std::string ProgramDirectory() {
  {
    std::lock_guard lock(OverrideMutex());
    if (!OverrideDirectory().empty()) return OverrideDirectory();
  }
  std::string path = ProgramPath();
  std::size_t slash = path.rfind('/');
  // Without /proc the working directory stands in, as on systems that cannot name the program.
  if (slash == std::string::npos) return CurrentDirectory();
  path.resize(slash);  // "/tunvik" lives in the root, whose name without the "/" is empty
  return path;
}

std::string SettingsPath() {
  return ProgramDirectory() + std::string(kSettingsFileName);
}

void SetProgramDirectoryForTesting(const std::string& dir) {
  std::lock_guard lock(OverrideMutex());
  OverrideDirectory() = dir;
}

}  // namespace settings
