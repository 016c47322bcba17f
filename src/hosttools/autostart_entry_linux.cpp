#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "hosttools/autostart_entry.h"
#include "hosttools/user_config.h"
#include "settings/atomic_file.h"
#include "settings/program_dir.h"

namespace hosttools {
namespace {

std::string AutostartFolder() {
  std::string config = settings::UserConfigHome();
  return config.empty() ? config : config + "/autostart";
}

// The string escapes of a desktop entry value.
std::string EscapeString(std::string_view value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string AutostartEntryName(std::string_view version) {
  return "Quoril_v" + std::string(version);
}

std::string AutostartEntryPath(std::string_view version) {
  std::string folder = AutostartFolder();
  if (folder.empty()) return {};
  return folder + "/" + AutostartEntryName(version) + ".desktop";
}

bool OpenAutostartFolder() {
  return OpenUserFolder(AutostartFolder());
}

std::string QuoteExecArgument(std::string_view path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return EscapeString(quoted);
}

std::string AutostartEntryText(std::string_view version, std::string_view programPath,
                               std::string_view icon) {
  std::string text =
      "[Desktop Entry]\nType=Application\nName=" + EscapeString(AutostartEntryName(version)) +
      "\nExec=" + QuoteExecArgument(programPath) + "\nTryExec=" + EscapeString(programPath) + "\n";
  if (!icon.empty()) text += "Icon=" + EscapeString(icon) + "\n";
  return text + "Terminal=false\n";
}

bool CreateAutostartEntry(std::string_view version, const std::string& programPath,
                          std::string_view icon) {
  std::string path = AutostartEntryPath(version);
  if (path.empty() || !OpenAutostartFolder()) return false;
  return settings::ReplaceFileAtomically(path, AutostartEntryText(version, programPath, icon));
}

bool DeleteAutostartEntry(std::string_view version) {
  std::string path = AutostartEntryPath(version);
  if (path.empty()) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace hosttools
