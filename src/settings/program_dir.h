// Where the program lives and where it keeps its files.
//
// A portable copy (the program file in a folder of the user's own) keeps the settings file
// XolConfig.ini and the optional deployment file tunvik-deploy.ini beside the program file, and
// may replace itself there. An installed program is told by the mark its install step puts beside
// it (<prefix>/share/tunvik/installed for the program <prefix>/bin/tunvik), never by whether its
// folder may be written, so that root running it never writes into /usr/bin: it keeps
// XolConfig.ini in $XDG_CONFIG_HOME/tunvik/ of whoever runs it and reads the deployment file from
// <sysconfdir>/tunvik/ (/etc/tunvik/ for the Debian package).
#pragma once

#include <string>

namespace settings {

// Returns the directory of the running program file (from /proc/self/exe), without a trailing
// separator. Tests may point it elsewhere with SetProgramDirectoryForTesting.
std::string ProgramDirectory();

// Returns the full path of the running program file.
std::string ProgramPath();

// Returns the path of the mark an install step puts beside the program in ProgramDirectory().
std::string InstalledMarkPath();

// Returns true when the program in ProgramDirectory() was installed by an install step (its mark
// is a regular file). Decided once for each program directory, so a package removed while the
// program runs does not move its settings.
bool IsInstalledProgram();

// Returns the user's configuration folder by the XDG rule: $XDG_CONFIG_HOME when it is an
// absolute path, else $HOME/.config; an empty text when neither is set.
std::string UserConfigHome();

// Returns the folder of the settings file: ProgramDirectory() for a portable copy; for an
// installed program UserConfigHome() + "/tunvik" (the home folder of the user's account entry
// standing in for a missing $HOME), made private (mode 0700) when missing, with its parents.
std::string SettingsDirectory();

// Returns SettingsDirectory() + "/XolConfig.ini".
std::string SettingsPath();

// Returns the folder of the optional deployment file: ProgramDirectory() for a portable copy,
// the system configuration folder "tunvik" of the install (/etc/tunvik) for an installed program.
std::string DeploymentDirectory();

// Makes ProgramDirectory() return `dir` from now on; an empty text restores the real directory.
// IsInstalledProgram() decides afresh after each call.
void SetProgramDirectoryForTesting(const std::string& dir);

}  // namespace settings
