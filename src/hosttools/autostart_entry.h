// The XDG autostart entry that starts the program at logon:
// $XDG_CONFIG_HOME/autostart/Quoril_v<version>.desktop ($HOME/.config when XDG_CONFIG_HOME is
// unset, empty or relative), holding the program's full path as its command. The entry names the
// program in TryExec too, so a desktop skips it once the program is gone (a removed package).
#pragma once

#include <string>
#include <string_view>

namespace hosttools {

// The icon of the installed program in the desktop's icon theme (hicolor), as its menu entry
// names it.
inline constexpr std::string_view kInstalledIconName = "tunvik";

// The entry's name without ".desktop": "Quoril_v" followed by the version.
std::string AutostartEntryName(std::string_view version);

// Returns the path of the entry for `version`, or an empty text when neither an absolute
// XDG_CONFIG_HOME nor HOME is set.
std::string AutostartEntryPath(std::string_view version);

// Makes sure the autostart folder exists (creating it and its parents, mode 0700) and may be
// written. Returns false when it cannot be made or written.
bool OpenAutostartFolder();

// Returns `path` as one argument of a desktop entry's Exec key: in double quotes, with the
// characters the quoting reserves escaped, "%" doubled, and the string escapes of the format
// applied on top (so a backslash becomes four of them).
std::string QuoteExecArgument(std::string_view path);

// Returns the whole text of the entry for `version` that starts `programPath`, with the icon
// named `icon` (no icon line when it is empty).
std::string AutostartEntryText(std::string_view version, std::string_view programPath,
                               std::string_view icon = {});

// Writes the entry for `version` starting `programPath` with `icon`, making the autostart folder
// when missing and replacing the file at once, never leaving half of it. Returns false when it
// could not be written.
bool CreateAutostartEntry(std::string_view version, const std::string& programPath,
                          std::string_view icon = {});

// Deletes the entry for `version`. Returns true when it is gone afterwards, also when there was
// none; false when it could not be deleted.
bool DeleteAutostartEntry(std::string_view version);

}  // namespace hosttools
