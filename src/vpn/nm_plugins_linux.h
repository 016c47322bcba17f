// Whether a VPN plugin of NetworkManager is installed on this machine, as NetworkManager itself
// finds its plugins: a name file in its plugin folders whose program exists.
#pragma once

#include <string>
#include <string_view>

namespace vpn {

// Returns true when the plugin serving `service` is installed: a name file for it in
// NetworkManager's plugin folders (or in `folder`, when not empty) names a program that may be
// run. Never fails; unreadable name files are skipped.
bool NmPluginInstalled(std::string_view service, const std::string& folder = {});

}  // namespace vpn
