// Fuzz harness for the INI reader and writer of the settings store, through the profile
// operations on a real file: read a fuzzed file, read keys, write a key, read it back.
//
// Input: the file's bytes, optionally followed by the write to make, as three fields each
// introduced by the separator FF FF FF (never in a GBK text, and U+FFFF in UTF-16): section, key
// and value. Without them (the seed files are plain settings files) the file's last line, after
// its last line break, is written as the password, so that mutations of the file reach the value.
// What must hold, else the harness traps:
// - a write that reports success reads back whole, keeps every other value as it read before,
//   and a second write of the same value changes no byte;
// - a refused write leaves the file byte for byte as it was;
// - the password write into an eight-bit file is refused only for a NUL in the value.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/profile.h"
#include "text/gbk.h"

namespace {

constexpr std::string_view kSeparator = "\xFF\xFF\xFF";
constexpr std::size_t kMaxNames = 16;  // keys of the file read before and after the write
constexpr char kMissing[] = "\x01missing";

// A folder of this process's own: under TMPDIR when it is set, else on the memory file system
// where there is one (every run writes a file and syncs it). Never freed, so that the removal at
// exit still has its name.
const std::string& Folder() {
  static const std::string* folder = [] {
    std::error_code ec;
    const char* tmpdir = std::getenv("TMPDIR");
    std::string base = (tmpdir != nullptr && *tmpdir != '\0') ? std::string(tmpdir)
                       : std::filesystem::is_directory("/dev/shm", ec)
                           ? std::string("/dev/shm")
                           : std::filesystem::temp_directory_path().string();
    auto* name = new std::string(base + "/ini-fuzz-XXXXXX");
    if (::mkdtemp(name->data()) == nullptr) ::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return name;
  }();
  return *folder;
}

std::optional<std::string> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ::abort();
}

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Section and key names as a simple look at the file finds them, in its eight-bit view: the text
// in brackets of a line that starts with "[", the text before the first "=" of other lines.
std::vector<std::pair<std::string, std::string>> NamesIn(std::string_view file) {
  std::vector<std::pair<std::string, std::string>> names;
  std::string section;
  while (!file.empty() && names.size() < kMaxNames) {
    std::size_t end = file.find_first_of("\r\n");
    std::string_view line = file.substr(0, end);
    file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
    if (line.starts_with('[')) {
      section = std::string(line.substr(1, line.find(']') - 1));
    } else if (std::size_t eq = line.find('='); eq != std::string_view::npos && eq > 0) {
      names.emplace_back(section, std::string(line.substr(0, eq)));
    }
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view file = input;
  std::string section = "AccountConfig";
  std::string key = "Password";
  std::size_t lastBreak = input.find_last_of("\r\n");
  std::string value(lastBreak == std::string_view::npos ? input : input.substr(lastBreak + 1));
  bool mustSucceed = !input.starts_with("\xFF\xFE") && !input.starts_with("\xFE\xFF") &&
                     value.find('\0') == std::string::npos;
  if (std::size_t at = input.find(kSeparator); at != std::string_view::npos) {
    mustSucceed = false;
    file = input.substr(0, at);
    std::string_view rest = input.substr(at + kSeparator.size());
    std::size_t keyAt = rest.find(kSeparator);
    section = std::string(rest.substr(0, keyAt));
    rest = keyAt == std::string_view::npos ? std::string_view() : rest.substr(keyAt + 3);
    std::size_t valueAt = rest.find(kSeparator);
    key = std::string(rest.substr(0, valueAt));
    value =
        valueAt == std::string_view::npos ? std::string() : std::string(rest.substr(valueAt + 3));
  }

  const std::string path = Folder() + "/XolConfig.ini";
  WriteAll(path, file);

  // Reads of every kind, of the program's keys and of the file's own.
  auto names = NamesIn(file);
  names.emplace_back("AccountConfig", "Password");
  names.emplace_back("HostConfig", "OfflineStrategy");
  std::vector<std::string> before;
  for (const auto& [s, k] : names) {
    before.push_back(settings::GetProfileString(s, k, kMissing, settings::kWhole, path));
  }
  (void)settings::GetProfileString(names.front().first, names.front().second, "", 49, path);
  (void)settings::GetProfileInt(names.front().first, names.front().second, 0, path);
  std::vector<std::string> items;
  settings::SplitList(before.front(), '|', items);

  if (!settings::WriteProfileString(section, key, value, path)) {
    Require(!mustSucceed);
    Require(ReadAll(path) == std::string(file));
    return 0;
  }
  Require(settings::GetProfileString(section, key, kMissing, settings::kWhole, path) == value);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto& [s, k] = names[i];
    if (text::EqualsNoCase(s, section) && text::EqualsNoCase(k, key)) continue;
    Require(settings::GetProfileString(s, k, kMissing, settings::kWhole, path) == before[i]);
  }
  std::optional<std::string> written = ReadAll(path);
  Require(settings::WriteProfileString(section, key, value, path));
  Require(ReadAll(path) == written);
  return 0;
}
