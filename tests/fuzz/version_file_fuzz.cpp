// The version description of the self-update, as downloaded into the program directory and read
// there: its values are bounded, its version reads as a number, and the program file it names
// stays in the program directory.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "update/program_files.h"
#include "update/version_number.h"

namespace {

// A program directory of the run's own, removed at its end.
class ProgramDir {
 public:
  ProgramDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tunvik-version-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ProgramDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProgramDir dir;
  const std::string file = update::VersionFilePath(dir.path());
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::string version = settings::GetProfileString(
      settings::kMainVerSection, settings::kMainVer, "", update::kValueLimit, file);
  for (std::string_view key : {update::kContentKey, update::kNewVerUrlKey}) {
    const std::string value =
        settings::GetProfileString(settings::kMainVerSection, key, "", update::kValueLimit, file);
    FUZZ_CHECK(value.size() <= update::kValueLimit);
  }
  FUZZ_CHECK(version.size() <= update::kValueLimit);

  const double number = update::VersionNumber(version);
  FUZZ_CHECK(!std::isnan(number));
  const double raw =
      update::VersionNumber(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(!std::isnan(raw));

  const std::string program = update::ProgramFilePath(dir.path(), version);
  if (!program.empty()) {
    const std::string prefix = dir.path() + "/";
    FUZZ_CHECK(program.starts_with(prefix));
    const std::string name = program.substr(prefix.size());
    FUZZ_CHECK(name == update::ProgramFileName(version));
    FUZZ_CHECK(name.find('/') == std::string::npos && name != "." && name != "..");
  }
  return 0;
}
