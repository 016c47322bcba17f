#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "hosttools/network_links.h"

namespace hosttools {

std::vector<std::string> LinksUp() {
  std::vector<std::string> names;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return names;
  // Each link appears once as an AF_PACKET entry, whether or not it holds an address; its flags
  // are the link's own (an address entry's label, "eth0:1", is never a link name).
  for (ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_PACKET) continue;
    if (item->ifa_name == nullptr || (item->ifa_flags & IFF_LOOPBACK) != 0) continue;
    if ((item->ifa_flags & IFF_UP) == 0) continue;
    std::string name = item->ifa_name;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  ::freeifaddrs(list);
  return names;
}

std::optional<bool> LinkIsUp(const std::string& name) {
  if (name.empty() || name.size() >= IFNAMSIZ) return std::nullopt;
  int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) s = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return std::nullopt;
  ifreq request{};
  std::memcpy(request.ifr_name, name.data(), name.size());
  int rc = ::ioctl(s, SIOCGIFFLAGS, &request);
  ::close(s);
  if (rc != 0) return std::nullopt;
  return (request.ifr_flags & IFF_UP) != 0;
}

bool SetLinkWithIp(const std::string& name, bool up, const ErrorReport& report) {
  // The exit status is not enough: a link that vanished meanwhile is not "switched".
  RunCommand({"ip", "link", "set", "dev", name, up ? "up" : "down"}, report);
  return LinkIsUp(name) == up;
}

}  // namespace hosttools
