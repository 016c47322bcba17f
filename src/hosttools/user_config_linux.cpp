#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "hosttools/user_config.h"
#include "settings/program_dir.h"

namespace hosttools {

std::string UserConfigFolder() {
  return settings::UserConfigHome();
}

bool OpenUserFolder(const std::string& folder) {
  if (folder.empty() || folder[0] != '/') return false;
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string prefix = folder.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace hosttools
