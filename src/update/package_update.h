// An installed program is updated by the system's package manager, never by itself: what it
// tells the user when the service announces a newer version.
#pragma once

#include <string>
#include <string_view>

namespace update {

// Returns the status-line text (GBK) that asks the user to update the package for the version
// `announced`. The version comes from the network: it is shown only when it is a short text of
// digits and dots.
std::string PackageUpdateStatus(std::string_view announced);

}  // namespace update
