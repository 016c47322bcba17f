#include <fcntl.h>
#include <unistd.h>

#include <mutex>

#include "hosttools/dialer_settings.h"
#include "hosttools/user_config.h"
#include "settings/keys.h"
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

std::string UserDialerSettingsPath() {
  std::string config = UserConfigFolder();
  return config.empty() ? config : config + "/" + std::string(kUserDialerSettingsName);
}

bool ProhibitIpSec(const std::string& path) {
  return settings::GetProfileInt(kRasManSection, kProhibitIpSec, 0, path) != 0;
}

bool ProhibitIpSec() {
  const std::string user = UserDialerSettingsPath();
  if (!user.empty() &&
      !settings::GetProfileString(kRasManSection, kProhibitIpSec, "", settings::kWhole, user)
           .empty()) {
    return ProhibitIpSec(user);
  }
  return ProhibitIpSec(DialerSettingsPath());
}

bool OpenDialerSettingsForWriting(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || !OpenUserFolder(slash == 0 ? "/" : path.substr(0, slash))) {
    return false;
  }
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool WriteProhibitIpSec(const std::string& path) {
  return settings::WriteProfileString(kRasManSection, kProhibitIpSec, "1", path);
}

}  // namespace hosttools
