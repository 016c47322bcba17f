#include "settings/program_dir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <vector>

// The install step's layout, relative to the folder of the installed program; the build passes
// the ones of its install prefix.
#ifndef TUNVIK_INSTALLED_MARK
#define TUNVIK_INSTALLED_MARK "../share/tunvik/installed"
#endif
#ifndef TUNVIK_INSTALLED_SYSCONF
#define TUNVIK_INSTALLED_SYSCONF "../../etc/tunvik"
#endif

namespace settings {
namespace {

constexpr std::string_view kSettingsFileName = "/XolConfig.ini";
constexpr std::string_view kDeletedSuffix = " (deleted)";
constexpr std::string_view kSettingsFolderName = "/tunvik";
// Where an installed program's settings go when the user has no home folder at all: a path
// that can neither be read nor written, so every read gives the defaults and every write fails.
constexpr std::string_view kNoSettingsFolder = "/dev/null";

std::mutex& OverrideMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& OverrideDirectory() {
  static std::string dir;
  return dir;
}

// Whether the program in `dir` is an installed one, decided on the first question; any thread may
// ask, so the decision is read and made under its lock.
struct InstalledDecision {
  std::mutex mutex;
  bool made = false;
  std::string dir;
  bool installed = false;
};

InstalledDecision& Decision() {
  static InstalledDecision decision;
  return decision;
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

// `relative` taken from the program directory, without "." and ".." steps.
std::string BesideProgram(std::string_view relative) {
  std::string dir = ProgramDirectory();
  if (dir.empty()) dir = "/";  // the program lives in the root
  return (std::filesystem::path(dir) / relative).lexically_normal().string();
}

// The home folder of the account running the program, from the user database.
std::string AccountHome() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return {};
  }
  return found->pw_dir;
}

// Makes `folder` and its missing parents private to the user, as XDG asks of its base folders;
// folders that exist are left as they are. A failure shows later, when the file is written.
void MakePrivateFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string prefix = folder.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return;
    if (slash == std::string::npos) return;
  }
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

std::string InstalledMarkPath() {
  return BesideProgram(TUNVIK_INSTALLED_MARK);
}

bool IsInstalledProgram() {
  const std::string dir = ProgramDirectory();
  InstalledDecision& decision = Decision();
  std::lock_guard lock(decision.mutex);
  if (!decision.made || decision.dir != dir) {
    struct stat st {};
    decision.installed = ::stat(InstalledMarkPath().c_str(), &st) == 0 && S_ISREG(st.st_mode);
    decision.dir = dir;
    decision.made = true;
  }
  return decision.installed;
}

std::string UserConfigHome() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return config;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
  return {};
}

std::string SettingsDirectory() {
  if (!IsInstalledProgram()) return ProgramDirectory();
  std::string base = UserConfigHome();
  if (base.empty()) {
    const std::string home = AccountHome();
    if (home.empty()) return std::string(kNoSettingsFolder);
    base = home + "/.config";
  }
  std::string folder = base + std::string(kSettingsFolderName);
  MakePrivateFolders(folder);
  return folder;
}

std::string SettingsPath() {
  return SettingsDirectory() + std::string(kSettingsFileName);
}

std::string DeploymentDirectory() {
  return IsInstalledProgram() ? BesideProgram(TUNVIK_INSTALLED_SYSCONF) : ProgramDirectory();
}

void SetProgramDirectoryForTesting(const std::string& dir) {
  {
    std::lock_guard lock(OverrideMutex());
    OverrideDirectory() = dir;
  }
  std::lock_guard lock(Decision().mutex);
  Decision().made = false;
}

}  // namespace settings
