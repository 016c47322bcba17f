#include "update/program_files.h"

namespace update {

std::string VersionFilePath(const std::string& programDir) {
  return programDir + "/" + std::string(kVersionFileName);
}

std::string VersionFileUrl(std::string_view updateBase, std::string_view runningVersion) {
  while (!updateBase.empty() && updateBase.back() == '/') updateBase.remove_suffix(1);
  if (updateBase.empty()) return std::string();
  return std::string(updateBase) + "/xol/xolversion" + std::string(runningVersion) + ".ini";
}

std::string ProgramFileName(std::string_view version) {
  return "Quoril_" + std::string(version);
}

std::string ProgramFilePath(const std::string& programDir, std::string_view version) {
  if (version.empty()) return std::string();
  for (char c : version) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || byte < 0x20 || byte == 0x7F) return std::string();
  }
  return programDir + "/" + ProgramFileName(version);
}

}  // namespace update
