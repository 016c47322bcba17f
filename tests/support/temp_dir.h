// Test helper shared by the test executables: a temporary folder of the test's own.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace testsupport {

// A fresh folder under the temporary directory; removed with everything in it on destruction.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tunvik-test-XXXXXX");
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Names of the entries in the folder other than `except`.
  std::vector<std::string> OtherEntries(const std::string& except) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      std::string name = entry.path().filename().string();
      if (name != except) names.push_back(name);
    }
    return names;
  }

 private:
  std::string path_;
};

}  // namespace testsupport
