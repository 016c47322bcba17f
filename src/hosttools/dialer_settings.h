// The dialer's setting "L2TP without IPsec", which the 789 repair switches on.
//
// It lives in an INI file (section RasMan, key ProhibitIpSec, 1 for L2TP without IPsec): the
// user's own, in the user's configuration folder, which the repair writes without any right
// beyond the user's; and a system-wide one that an administrator may set for every user. The
// user's file decides where it holds the key, else the system-wide one.
#pragma once

#include <string>
#include <string_view>

namespace hosttools {

inline constexpr std::string_view kDialerSettingsPath = "/etc/tunvik/dialer.ini";
inline constexpr std::string_view kUserDialerSettingsName = "tunvik/dialer.ini";
inline constexpr std::string_view kRasManSection = "RasMan";
inline constexpr std::string_view kProhibitIpSec = "ProhibitIpSec";

// Returns the path of the system-wide dialer settings file: kDialerSettingsPath, unless a test
// has set another.
std::string DialerSettingsPath();

// Makes DialerSettingsPath() return `path` from now on, so that tests never read the machine's
// own file; an empty text restores kDialerSettingsPath.
void SetDialerSettingsPathForTesting(const std::string& path);

// Returns the path of the user's dialer settings file: kUserDialerSettingsName in the user's
// configuration folder (UserConfigFolder), or an empty text when there is none.
std::string UserDialerSettingsPath();

// Returns true when the file at `path` sets ProhibitIpSec to a number other than 0. A missing or
// unreadable file reads as false (L2TP with IPsec).
bool ProhibitIpSec(const std::string& path);

// The setting the dialer uses: the user's file where it holds ProhibitIpSec, else the
// system-wide file's.
bool ProhibitIpSec();

// Makes sure the dialer settings file at `path` may be written by this process: creates its
// missing folders (private to the user, mode 0700) and the file (mode 0600) when missing.
// Returns false when the folder or the file cannot be made or written, as in a folder the user
// may not write; nothing is changed then.
bool OpenDialerSettingsForWriting(const std::string& path);

// Sets ProhibitIpSec to 1 in the file at `path`, keeping its other lines and its mode. Returns
// false when the file could not be written; it is then unchanged.
bool WriteProhibitIpSec(const std::string& path);

}  // namespace hosttools
