// The offline action that switches the machine's network links off when the connection drops,
// and the way back.
//
// Where NetworkManager runs, networking is switched off and on through its D-Bus interface
// (network_manager_links.h), which an ordinary user in a desktop session may do; links it leaves
// up, and every link where it does not run, go through `ip link`, which needs the right to
// change links. Whether a link really changed is read back from the kernel: a link that could not
// be switched is told, never counted as done.
//
// Link names are the kernel's bytes, unconverted, so a name saved in the settings file is
// exactly the name the next switch uses. A name (which may hold quotes or semicolons, though
// never a blank) is always one argument of a command, never part of a command line.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "hosttools/command_runner.h"

namespace hosttools {

// What a switch did: the links that changed, and those that did not, each in order.
struct LinkSwitchResult {
  std::vector<std::string> switched;
  std::vector<std::string> failed;
};

// How long a switch waits for NetworkManager to take its links down or bring them up before
// the rest goes to `ip link` or counts as failed. NetworkManager usually needs milliseconds; on a
// busy machine it has been seen to need more than three seconds. A switch that succeeds ends as
// soon as every link is as wanted, so only a real failure waits this long.
inline constexpr std::chrono::milliseconds kSwitchOffSettle{10000};
inline constexpr std::chrono::milliseconds kSwitchOnSettle{15000};

// Switches every link that is up, but loopback, off (LinksUp): networking as a whole through
// NetworkManager where it runs and lets the caller, then each link still up with
// `ip link set dev NAME down`. Returns the links that went off and those still up. The
// runner's messages reach `report`.
LinkSwitchResult DisableNetwork(const ErrorReport& report);

// Switches the links `names` back on: networking through NetworkManager where it runs, then
// each link still down with `ip link set dev NAME up`. Empty names are passed over; a link that
// no longer exists counts as failed.
LinkSwitchResult RestoreNetwork(const std::vector<std::string>& names, const ErrorReport& report);

// The list of links to keep after a switch-off: those of `previous` that are still off (a
// second drop must not forget links a first one switched off and nobody restored), then
// `switched`, each once.
std::vector<std::string> MergeSwitchedOff(const std::vector<std::string>& previous,
                                          const std::vector<std::string>& switched);

// Returns each name followed by "|", the form of the settings key `network` (empty for none).
std::string JoinAdapterNames(const std::vector<std::string>& names);

// The status texts (GBK) for links that could not be switched off or back on.
std::string SwitchOffFailedStatus(const std::vector<std::string>& names);
std::string SwitchOnFailedStatus(const std::vector<std::string>& names);

}  // namespace hosttools
