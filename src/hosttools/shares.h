// The removal of the machine's shares, run once per run after the service's notice is fetched.
//
// The counterpart of the administrative and user shares on this platform are Samba's user shares;
// they are deleted with Samba's `net usershare delete NAME`. Where Samba's `net` tool is not
// installed there are no such shares and nothing is run.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "hosttools/command_runner.h"

namespace hosttools {

// The nine shares, in the order of their deletion.
inline constexpr std::array<std::string_view, 9> kSharesToDelete = {
    "ipc$", "Users", "Admin$", "C$", "D$", "E$", "F$", "G$", "H$"};

// Deletes the shares of kSharesToDelete in order, one `net usershare delete NAME` each through
// RunCommand, with the `net` tool found on PATH; runs nothing when there is none. The outputs
// are dropped; only the runner's messages reach `report`.
void DeleteShares(const ErrorReport& report);

// As DeleteShares, with the `net` tool at `netProgram`; runs nothing when it is empty.
void DeleteShares(const std::string& netProgram, const ErrorReport& report);

}  // namespace hosttools
