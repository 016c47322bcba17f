#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

#include "hosttools/network_switch.h"

namespace hosttools {
namespace {

// getifaddrs names an IPv4 address by its label, which for an alias ("eth0:1") is not the name
// of the link; the kernel resolves such a label to its link's index, and the index names the link.
std::string LinkName(const char* addressName) {
  unsigned index = ::if_nametoindex(addressName);
  char name[IF_NAMESIZE] = {};
  if (index != 0 && ::if_indextoname(index, name) != nullptr) return name;
  return addressName;
}

void SetLink(const std::string& name, const char* state, const ErrorReport& report) {
  RunCommand({"ip", "link", "set", "dev", name, state}, report);
}

}  // namespace

std::vector<std::string> Ipv4InterfaceNames() {
  std::vector<std::string> names;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return names;
  for (ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) continue;
    if ((item->ifa_flags & IFF_LOOPBACK) != 0 || item->ifa_name == nullptr) continue;
    std::string name = LinkName(item->ifa_name);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  ::freeifaddrs(list);
  return names;
}

std::vector<std::string> DisableNetwork(const ErrorReport& report) {
  std::vector<std::string> names = Ipv4InterfaceNames();
  for (const std::string& name : names) SetLink(name, "down", report);
  return names;
}

void RestoreNetwork(const std::vector<std::string>& names, const ErrorReport& report) {
  for (const std::string& name : names) {
    if (!name.empty()) SetLink(name, "up", report);  // no interface has an empty name
  }
}

std::string JoinAdapterNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    joined += name;
    joined += '|';
  }
  return joined;
}

}  // namespace hosttools
