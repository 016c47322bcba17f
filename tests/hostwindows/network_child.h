// The bodies of the child processes that run the main window's network switch inside a network
// namespace of their own, never on the machine's links.
#pragma once

#include <string>

namespace hostwindows_test {

// Enters a new network namespace (the calling process must have one thread), checks that it is
// not the one of inode `hostNamespaceInode`, makes local links there and runs a main window
// whose program folder is `programDir`, in one of these modes:
//  - "links": links of three kinds (IPv4, IPv6 only, no address) go off with DisableNetwork and
//    come back with the restore button; a second drop keeps the links the first left off;
//  - "refused": the window runs as a user without the right to switch links (the test must run
//    as root): the failure is shown in the status line and nothing is stored;
//  - "partly": one link refuses (a stand-in `ip` for it): only the others are stored, the one is
//    named in the status line;
//  - "drop": a connection of the simulated dialer drops while strategy 2 is chosen and the
//    supervision's own timer is far away: the links still go down at once.
// Returns "OK", "SKIP: ..." or "FAIL: ...".
std::string RunNetworkChild(const std::string& mode, const std::string& programDir,
                            const std::string& hostNamespaceInode);

}  // namespace hostwindows_test
