// An installed program is updated by the system's package manager, never by itself: what it
// tells the user when the service announces a newer version.
#pragma once

#include <string>
#include <string_view>

namespace update {

// True for a version text fit to show: digits and dots only, at most 32 of them. The status line
// is read back by the supervision, so no text from the network may bring an "error" marker into
// it, and nothing else from the network is shown either.
bool IsPlainVersion(std::string_view version);

// Returns the status-line text (GBK) that asks the user to update the package for the version
// `announced`. The version comes from the network: it is shown only when it is a short text of
// digits and dots.
std::string PackageUpdateStatus(std::string_view announced);

}  // namespace update
