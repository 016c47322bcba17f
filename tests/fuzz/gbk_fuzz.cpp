// The GBK helpers: conversions both ways, the character-aware searches and the comparison
// without regard to letter case. The input is a separator byte, then two texts (split at 0x1F).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "text/gbk.h"

namespace {

// The character boundaries of a GBK text: a lead byte takes the byte after it, whatever it is.
std::vector<std::size_t> Boundaries(std::string_view gbk) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < gbk.size();) {
    starts.push_back(i);
    i += text::IsLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size() ? 2 : 1;
  }
  return starts;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80           ? 1
                          : (c >> 5) == 0x6  ? 2
                          : (c >> 4) == 0xE  ? 3
                          : (c >> 3) == 0x1E ? 4
                                             : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

int Sign(int value) {
  return (value > 0) - (value < 0);
}

// Upper-cases the single-byte ASCII letters of a GBK text, never a byte inside a character.
std::string UpperAscii(std::string_view gbk) {
  std::string upper(gbk);
  for (std::size_t start : Boundaries(gbk)) {
    if (upper[start] >= 'a' && upper[start] <= 'z')
      upper[start] = static_cast<char>(upper[start] - 32);
  }
  return upper;
}

void CheckConversions(std::string_view gbk, std::string_view utf8) {
  const std::string decoded = text::GbkToUtf8(gbk);
  FUZZ_CHECK(IsValidUtf8(decoded));
  FUZZ_CHECK(text::GbkToUtf8(text::Utf8ToGbk(decoded)) == decoded);

  const std::string encoded = text::Utf8ToGbk(utf8);
  const std::string back = text::GbkToUtf8(encoded);
  FUZZ_CHECK(IsValidUtf8(back));
  FUZZ_CHECK(text::Utf8ToGbk(back) == encoded);
  if (IsValidUtf8(utf8) && utf8.find('?') == std::string_view::npos &&
      back.find('?') == std::string::npos) {
    FUZZ_CHECK(back == utf8);  // every character GBK has comes back unchanged
  }
}

void CheckSearches(std::string_view gbk, std::string_view needle, char separator) {
  const std::vector<std::size_t> starts = Boundaries(gbk);
  const std::size_t first = text::FindChar(gbk, separator);
  const std::size_t last = text::FindLastChar(gbk, separator);
  std::size_t expectedFirst = text::npos;
  std::size_t expectedLast = text::npos;
  for (std::size_t start : starts) {
    if (gbk[start] != separator) continue;
    if (expectedFirst == text::npos) expectedFirst = start;
    expectedLast = start;
  }
  FUZZ_CHECK(first == expectedFirst);
  FUZZ_CHECK(last == expectedLast);
  if (first != text::npos) FUZZ_CHECK(text::FindChar(gbk, separator, first + 1) != first);

  const std::size_t found = text::Find(gbk, needle);
  std::size_t expected = needle.empty() ? 0 : text::npos;
  for (std::size_t start : starts) {
    if (expected != text::npos) break;
    if (gbk.substr(start, needle.size()) == needle) expected = start;
  }
  FUZZ_CHECK(found == expected);
  FUZZ_CHECK(text::Find(gbk, needle, gbk.size() + 1) == text::npos);

  const std::string replaced = text::ReplaceAll(gbk, needle, std::string(1, separator));
  if (found == text::npos || needle.empty()) FUZZ_CHECK(replaced == gbk);
  if (!needle.empty() && found != text::npos) FUZZ_CHECK(replaced != gbk || needle.size() == 1);
}

void CheckComparison(std::string_view a, std::string_view b) {
  FUZZ_CHECK(text::CompareNoCase(a, a) == 0);
  FUZZ_CHECK(Sign(text::CompareNoCase(a, b)) == -Sign(text::CompareNoCase(b, a)));
  FUZZ_CHECK(text::EqualsNoCase(a, UpperAscii(a)));
  FUZZ_CHECK(text::EqualsNoCase(a, b) == text::EqualsNoCase(UpperAscii(a), b));
  if (a == b) FUZZ_CHECK(text::EqualsNoCase(a, b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> fields = fuzz::SplitFields(input, 3);
  const char separator = fields[0].empty() ? '\\' : fields[0][0];
  const std::string_view a = fields[1];
  const std::string_view b = fields[2];

  CheckConversions(a, b);
  CheckSearches(a, b, separator);
  CheckComparison(a, b);
  return 0;
}
