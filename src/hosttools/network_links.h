// The machine's network links as the offline action sees them: which are up, and switching one
// with `ip link`, which needs the right to change links (CAP_NET_ADMIN).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hosttools/command_runner.h"

namespace hosttools {

// Returns the names of every link but loopback that is up (administratively) now, in the
// kernel's order: whatever addresses it holds, IPv4, IPv6 only or none. Names are the kernel's
// bytes. Empty when the links cannot be listed.
std::vector<std::string> LinksUp();

// True when the link `name` is up, false when it is down, nothing when there is no such link.
std::optional<bool> LinkIsUp(const std::string& name);

// Runs `ip link set dev NAME down` (or `up`) through RunCommand, the name one argument, and
// returns true when the link is in the asked state afterwards. The runner's messages reach
// `report`.
bool SetLinkWithIp(const std::string& name, bool up, const ErrorReport& report);

}  // namespace hosttools
