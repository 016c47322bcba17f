#include "update/package_update.h"

#include "text/gbk.h"

namespace update {
namespace {

constexpr std::size_t kLongestShownVersion = 32;

// Digits and dots only: the status line is read back by the supervision, so no text from the
// network may bring an "error" marker into it.
bool IsPlainVersion(std::string_view version) {
  if (version.empty() || version.size() > kLongestShownVersion) return false;
  for (char c : version) {
    if ((c < '0' || c > '9') && c != '.') return false;
  }
  return true;
}

}  // namespace

std::string PackageUpdateStatus(std::string_view announced) {
  const std::string version = IsPlainVersion(announced) ? " " + std::string(announced) : "";
  return text::Utf8ToGbk("发现新版本" + version + "! 请通过系统的软件包管理器更新本程序");
}

}  // namespace update
