// Helpers of the tests that switch interfaces: a network namespace of the test's own, links made
// in it, and their state. Nothing here touches the machine's own interfaces.
#pragma once

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "hosttools/command_runner.h"

namespace hosttools_test {

// True when the interface is up, false when down, nothing when there is no such interface.
inline std::optional<bool> IsUp(const std::string& name) {
  int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return std::nullopt;
  ifreq request{};
  std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
  int rc = ::ioctl(s, SIOCGIFFLAGS, &request);
  ::close(s);
  if (rc != 0) return std::nullopt;
  return (request.ifr_flags & IFF_UP) != 0;
}

inline bool WriteProcFile(const char* path, const std::string& text) {
  int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

// Moves the calling process, which must have a single thread, into a new network namespace of
// its own: directly with the right to, else inside a new user namespace where it is root.
inline bool EnterNewNetworkNamespace() {
  if (::unshare(CLONE_NEWNET) == 0) return true;
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
  return WriteProcFile("/proc/self/setgroups", "deny") &&
         WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
         WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

// The inode of the calling process's network namespace, 0 when it cannot be read.
inline ino_t NetworkNamespaceInode() {
  struct stat st {};
  return ::stat("/proc/self/ns/net", &st) == 0 ? st.st_ino : 0;
}

// Runs `ip` with `args`; true when it succeeded.
inline bool Ip(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"ip"};
  argv.insert(argv.end(), args.begin(), args.end());
  int status = -1;
  hosttools::RunCommand(argv, {}, &status);
  return status == 0;
}

// Adds a local link: a dummy where the kernel has them, else a bridge without ports.
inline bool AddLink(const std::string& name) {
  return Ip({"link", "add", name, "type", "dummy"}) || Ip({"link", "add", name, "type", "bridge"});
}

}  // namespace hosttools_test
