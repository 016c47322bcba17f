// The offline action that switches the machine's network interfaces off when the connection
// drops, and the way back.
//
// Interface names are kept as the kernel's bytes, unconverted, so a name saved in the settings
// file is exactly the name the next command uses. A name (which may hold quotes or semicolons,
// though never a blank) is always one argument of the command, never part of a command line.
#pragma once

#include <string>
#include <vector>

#include "hosttools/command_runner.h"

namespace hosttools {

// Returns the names of the interfaces that have an IPv4 address, except loopback interfaces, in
// the kernel's order, each once. An interface that cannot be listed counts as absent.
std::vector<std::string> Ipv4InterfaceNames();

// Switches every interface of Ipv4InterfaceNames() off with `ip link set dev NAME down` through
// RunCommand, in order, and returns their names (the caller keeps them and saves
// JoinAdapterNames of them as `network`). Failures of the commands go unnoticed; only the
// runner's messages reach `report`.
std::vector<std::string> DisableNetwork(const ErrorReport& report);

// Switches each interface of `names` back on with `ip link set dev NAME up`, in order; an empty
// name is passed over.
void RestoreNetwork(const std::vector<std::string>& names, const ErrorReport& report);

// Returns each name followed by "|", the form of the settings key `network` (empty for none).
std::string JoinAdapterNames(const std::vector<std::string>& names);

}  // namespace hosttools
