// Where the program lives: its directory holds the settings file and the optional deployment file.
#pragma once

#include <string>

namespace settings {

// Returns the directory of the running program file (from /proc/self/exe), without a trailing
// separator. Tests may point it elsewhere with SetProgramDirectoryForTesting.
std::string ProgramDirectory();

// Returns the full path of the running program file.
std::string ProgramPath();

// Returns ProgramDirectory() + "/XolConfig.ini".
std::string SettingsPath();

// Makes ProgramDirectory() return `dir` from now on; an empty text restores the real directory.
void SetProgramDirectoryForTesting(const std::string& dir);

}  // namespace settings
