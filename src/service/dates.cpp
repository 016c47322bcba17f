#include "service/dates.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace service {
namespace {

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

bool ReadNumber(std::string_view text, int& value) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

}  // namespace

std::chrono::sys_days Today() {
  std::tm local = LocalNow();
  using namespace std::chrono;
  return sys_days(year(local.tm_year + 1900) / month(static_cast<unsigned>(local.tm_mon + 1)) /
                  day(static_cast<unsigned>(local.tm_mday)));
}

std::string FormatDate(std::chrono::sys_days day) {
  std::chrono::year_month_day ymd(day);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return buffer;
}

std::optional<std::chrono::sys_days> ParseDate(std::string_view text) {
  int y = 0, m = 0, d = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !ReadNumber(text.substr(0, 4), y) ||
      !ReadNumber(text.substr(5, 2), m) || !ReadNumber(text.substr(8, 2), d)) {
    return std::nullopt;
  }
  using namespace std::chrono;
  year_month_day ymd(year(y), month(static_cast<unsigned>(m)), day(static_cast<unsigned>(d)));
  if (!ymd.ok()) return std::nullopt;
  return sys_days(ymd);
}

std::string NowText() {
  std::tm local = LocalNow();
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

}  // namespace service
