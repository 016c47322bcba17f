// The files of a self-update in the program directory: the version description downloaded from
// the update server, and the program files named after their versions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace update {

// The version description: section MAINVER (settings::kMainVerSection) with mainver, content and
// newverurl; each value is read cut to kValueLimit bytes.
inline constexpr std::string_view kVersionFileName = "verOnline.ini";
inline constexpr std::string_view kContentKey = "content";
inline constexpr std::string_view kNewVerUrlKey = "newverurl";
inline constexpr std::size_t kValueLimit = 127;

// Returns programDir + "/verOnline.ini".
std::string VersionFilePath(const std::string& programDir);

// Returns the address of the version description for the running version on the update server
// at `updateBase` (scheme, host and port): updateBase + "/xol/xolversion" + version + ".ini".
// Empty when there is no update server.
std::string VersionFileUrl(std::string_view updateBase, std::string_view runningVersion);

// Returns the program file name of `version`: "Quoril_" + version.
std::string ProgramFileName(std::string_view version);

// Returns programDir + "/" + ProgramFileName(version), or an empty text when that name would not
// be a plain file name in the program directory (a version that is empty or holds "/", a NUL or
// a control character), so that no version text from the network reaches another folder.
std::string ProgramFilePath(const std::string& programDir, std::string_view version);

}  // namespace update
