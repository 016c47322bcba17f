#include "hosttools/process_labels.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "settings/profile.h"

namespace hosttools {
namespace {

// The private folder for the scratch file in the temporary directory, checked to be a real
// folder of this user that no one else may write.
std::string PrivateTemporaryFolder() {
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  std::string folder = (temp / ("tunvik-" + std::to_string(::geteuid()))).string();
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
      (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return {};
  }
  return folder;
}

}  // namespace

std::string ScratchFilePath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    return std::string(runtime) + "/" + std::string(kScratchFileName);
  }
  std::string folder = PrivateTemporaryFolder();
  if (folder.empty()) return {};
  return folder + "/" + std::string(kScratchFileName);
}

unsigned LabelSeed() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t micros = static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
                         static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
  std::uint64_t value = static_cast<std::uint64_t>(::gettid()) + micros;
  return static_cast<unsigned>(value ^ (value >> 32));
}

std::string MakeProcessLabel(unsigned seed) {
  std::srand(seed);
  int parts[4];
  for (int& part : parts) part = std::rand() % 256;
  return "*.*." + std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

std::string AssignProcessLabel(const std::string& pid, const std::string& scratchPath) {
  std::string label = MakeProcessLabel(LabelSeed());
  if (!scratchPath.empty()) settings::WriteProfileString(kScratchSection, pid, label, scratchPath);
  return label;
}

}  // namespace hosttools
