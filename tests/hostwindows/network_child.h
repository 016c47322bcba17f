// The body of the child process that runs the main window's DisableNetwork and its restore
// button inside a network namespace of its own.
#pragma once

#include <string>

namespace hostwindows_test {

// Enters a new network namespace (the calling process must have one thread), checks that it is
// not the one of inode `hostNamespaceInode`, makes two local links there and runs a main window
// whose program folder is `programDir`. Returns "OK", "SKIP: ..." or "FAIL: ...".
std::string RunDisableNetworkChild(const std::string& programDir,
                                   const std::string& hostNamespaceInode);

}  // namespace hostwindows_test
