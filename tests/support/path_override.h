// Test helper: a folder of stand-in tools put first on PATH for the lifetime of the object.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

class ToolsFirstOnPath {
 public:
  // Makes `folder` (created if needed) the first folder of PATH.
  explicit ToolsFirstOnPath(std::string folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
    const char* path = std::getenv("PATH");
    oldPath_ = path != nullptr ? path : "";
    setenv("PATH", (folder_ + ":" + oldPath_).c_str(), 1);
  }
  ~ToolsFirstOnPath() { setenv("PATH", oldPath_.c_str(), 1); }
  ToolsFirstOnPath(const ToolsFirstOnPath&) = delete;
  ToolsFirstOnPath& operator=(const ToolsFirstOnPath&) = delete;

  // Writes an executable shell script `name` with the body `script` into the folder.
  void AddScript(const std::string& name, const std::string& script) const {
    std::ofstream(folder_ + "/" + name) << "#!/bin/sh\n" << script;
    std::filesystem::permissions(folder_ + "/" + name, std::filesystem::perms::owner_all);
  }

 private:
  std::string folder_;
  std::string oldPath_;
};

}  // namespace testsupport
