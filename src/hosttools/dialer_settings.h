// The dialer's system-wide setting "L2TP without IPsec", which the 789 repair switches on.
//
// It lives in an INI file that only root may write (section RasMan, key ProhibitIpSec, 1 for
// L2TP without IPsec) and that every user's dialer may read.
#pragma once

#include <string>
#include <string_view>

namespace hosttools {

inline constexpr std::string_view kDialerSettingsPath = "/etc/tunvik/dialer.ini";
inline constexpr std::string_view kRasManSection = "RasMan";
inline constexpr std::string_view kProhibitIpSec = "ProhibitIpSec";

// Returns the path of the dialer settings file: kDialerSettingsPath, unless a test has set
// another.
std::string DialerSettingsPath();

// Makes DialerSettingsPath() return `path` from now on, so that tests never write the machine's
// own file; an empty text restores kDialerSettingsPath.
void SetDialerSettingsPathForTesting(const std::string& path);

// Returns true when the dialer settings file at `path` sets ProhibitIpSec to a number other than
// 0. A missing or unreadable file reads as false (L2TP with IPsec).
bool ProhibitIpSec(const std::string& path = DialerSettingsPath());

// Makes sure the dialer settings file at `path` may be written by this process: creates its
// folder (mode 0755) and the file (mode 0644, readable by every user's dialer) when missing.
// Returns false when the folder or the file cannot be made or written, as for a user without
// the right; nothing is changed then.
bool OpenDialerSettingsForWriting(const std::string& path);

// Sets ProhibitIpSec to 1 in the file at `path`, keeping its other lines and its mode. Returns
// false when the file could not be written; it is then unchanged.
bool WriteProhibitIpSec(const std::string& path);

}  // namespace hosttools
