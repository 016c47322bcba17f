#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "hosttools/dialer_settings.h"
#include "settings/profile.h"

namespace hosttools {
namespace {

std::mutex g_pathMutex;
std::string g_testPath;

}  // namespace

std::string DialerSettingsPath() {
  std::lock_guard lock(g_pathMutex);
  return g_testPath.empty() ? std::string(kDialerSettingsPath) : g_testPath;
}

void SetDialerSettingsPathForTesting(const std::string& path) {
  std::lock_guard lock(g_pathMutex);
  g_testPath = path;
}

bool ProhibitIpSec(const std::string& path) {
  return settings::GetProfileInt(kRasManSection, kProhibitIpSec, 0, path) != 0;
}

bool OpenDialerSettingsForWriting(const std::string& path) {
  std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (::mkdir(folder.c_str(), 0755) == 0) {
    ::chmod(folder.c_str(), 0755);  // the umask may have taken read rights from other users
  } else if (errno != EEXIST) {
    return false;
  }

  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd >= 0) {
    ::fchmod(fd, 0644);
  } else if (errno == EEXIST) {
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  }
  if (fd < 0) return false;
  ::close(fd);
  // The value is written by replacing the file, which needs the right to write its folder.
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool WriteProhibitIpSec(const std::string& path) {
  return settings::WriteProfileString(kRasManSection, kProhibitIpSec, "1", path);
}

}  // namespace hosttools
