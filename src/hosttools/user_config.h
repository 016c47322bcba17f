// The user's configuration folder as XDG defines it, and folders made in it.
#pragma once

#include <string>

namespace hosttools {

// Returns $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config, or an empty text
// when neither is set.
std::string UserConfigFolder();

// Makes sure the folder `folder` (an absolute path) exists, creating it and the missing folders
// on the way private to the user (mode 0700, as XDG asks of its base folders) and leaving
// existing ones as they are, and that this process may write it. Returns false when it cannot be
// made or written.
bool OpenUserFolder(const std::string& folder);

}  // namespace hosttools
