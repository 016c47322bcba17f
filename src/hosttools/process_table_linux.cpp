#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "hosttools/process_table.h"

namespace hosttools {
namespace {

std::optional<int> ParsePid(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || value <= 0) return std::nullopt;
  return value;
}

bool ReadSmallFile(const std::string& path, std::string& contents) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  contents.clear();
  char buffer[1024];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      contents.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    ::close(fd);
    return n == 0;
  }
}

std::string ExecutableName(const std::string& procDir) {
  char target[4096];
  ssize_t n = ::readlink((procDir + "/exe").c_str(), target, sizeof target);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
  std::string_view path(target, static_cast<std::size_t>(n));
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.ends_with(kDeleted)) path.remove_suffix(kDeleted.size());
  std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Fills parent, start time and command name from /proc/PID/stat. The command name stands in
// parentheses and may itself hold blanks and parentheses, so the fields are counted from the
// last ")".
bool ParseStat(std::string_view stat, ProcessEntry& entry, std::string& commandName) {
  std::size_t open = stat.find('(');
  std::size_t close = stat.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return false;
  }
  commandName.assign(stat.substr(open + 1, close - open - 1));
  std::string_view rest = stat.substr(close + 1);
  // Fields after the name: 0 state, 1 ppid, ..., 19 starttime.
  int index = 0;
  std::size_t pos = 0;
  while (pos < rest.size() && index <= 19) {
    while (pos < rest.size() && rest[pos] == ' ') ++pos;
    std::size_t end = rest.find(' ', pos);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view field = rest.substr(pos, end - pos);
    if (index == 1) {
      if (std::from_chars(field.data(), field.data() + field.size(), entry.parentPid).ec !=
          std::errc()) {
        return false;
      }
    } else if (index == 19) {
      return std::from_chars(field.data(), field.data() + field.size(), entry.startTime).ec ==
             std::errc();
    }
    ++index;
    pos = end;
  }
  return false;
}

// The case-folded form of a name: Unicode case folding for UTF-8, ASCII folding for a name that
// is not UTF-8 (file names may hold any bytes).
std::string FoldCase(std::string_view name) {
  if (g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) {
    gchar* folded = g_utf8_casefold(name.data(), static_cast<gssize>(name.size()));
    std::string result = folded != nullptr ? folded : std::string(name);
    g_free(folded);
    return result;
  }
  std::string result(name);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

}  // namespace

std::optional<ProcessEntry> ReadProcessEntry(int pid) {
  if (pid <= 0) return std::nullopt;
  const std::string procDir = "/proc/" + std::to_string(pid);
  std::string stat;
  if (!ReadSmallFile(procDir + "/stat", stat)) return std::nullopt;
  ProcessEntry entry;
  entry.pid = pid;
  std::string commandName;
  if (!ParseStat(stat, entry, commandName)) return std::nullopt;
  entry.fileName = ExecutableName(procDir);
  if (entry.fileName.empty()) entry.fileName = commandName;
  entry.kernelName = std::move(commandName);
  std::string commandLine;
  if (ReadSmallFile(procDir + "/cmdline", commandLine)) {
    std::string_view first(commandLine.c_str());  // up to the first NUL: argv[0]
    std::size_t slash = first.rfind('/');
    entry.startName =
        std::string(slash == std::string_view::npos ? first : first.substr(slash + 1));
  }
  return entry;
}

bool ProgramNameMatches(const ProcessEntry& entry, std::string_view name) {
  if (name.empty()) return false;
  const std::string wanted = FoldCase(name);
  for (const std::string* candidate : {&entry.fileName, &entry.startName, &entry.kernelName}) {
    if (!candidate->empty() && FoldCase(*candidate) == wanted) return true;
  }
  return false;
}

std::optional<std::vector<ProcessEntry>> TakeProcessSnapshot() {
  DIR* dir = ::opendir("/proc");
  if (dir == nullptr) return std::nullopt;
  std::vector<int> pids;
  while (dirent* item = ::readdir(dir)) {
    if (std::optional<int> pid = ParsePid(item->d_name)) pids.push_back(*pid);
  }
  ::closedir(dir);
  std::sort(pids.begin(), pids.end());

  std::vector<ProcessEntry> entries;
  entries.reserve(pids.size());
  for (int pid : pids) {
    if (std::optional<ProcessEntry> entry = ReadProcessEntry(pid)) {
      entries.push_back(std::move(*entry));
    }
  }
  return entries;
}

}  // namespace hosttools
