#include "update/version_number.h"

#include <charconv>

namespace update {

double VersionNumber(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() &&
         (text[start] == ' ' || text[start] == '\t' || text[start] == '\n' || text[start] == '\r' ||
          text[start] == '\f' || text[start] == '\v')) {
    ++start;
  }
  std::string_view rest = text.substr(start);
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  // Only digits with an optional fraction and exponent: no "inf", "nan" or hexadecimal.
  if (rest.empty() ||
      !((rest.front() >= '0' && rest.front() <= '9') ||
        (rest.front() == '.' && rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9'))) {
    return 0.0;
  }
  double value = 0.0;
  auto result =
      std::from_chars(rest.data(), rest.data() + rest.size(), value, std::chars_format::general);
  if (result.ec != std::errc()) return 0.0;
  return negative ? -value : value;
}

}  // namespace update
