#include "settings/utf16.h"

namespace settings {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUnit(char32_t unit, bool bigEndian, std::string& out) {
  char high = static_cast<char>(unit >> 8);
  char low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

// Decodes the UTF-8 character at `s[i]`, moving `i` past it; a malformed sequence (also an
// overlong one, a surrogate or a value past U+10FFFF) gives U+FFFD and moves past its first byte.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char first = byte(i);
  std::size_t length = first < 0x80           ? 1
                       : (first >> 5) == 0x6  ? 2
                       : (first >> 4) == 0xE  ? 3
                       : (first >> 3) == 0x1E ? 4
                                              : 0;
  if (length == 0 || i + length > s.size()) {
    ++i;
    return kReplacement;
  }
  char32_t c = length == 1 ? first : first & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += length;
  return c;
}

}  // namespace

bool Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& utf8) {
  utf8.clear();
  utf8.reserve(bytes.size() + bytes.size() / 2);
  auto unitAt = [&](std::size_t i) -> char32_t {
    auto first = static_cast<unsigned char>(bytes[i]);
    auto second = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (first << 8) | second : (second << 8) | first;
  };
  bool wellFormed = bytes.size() % 2 == 0;
  const std::size_t end = bytes.size() - bytes.size() % 2;
  for (std::size_t i = 0; i < end; i += 2) {
    char32_t unit = unitAt(i);
    if (IsHighSurrogate(unit) && i + 2 < end && IsLowSurrogate(unitAt(i + 2))) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00), utf8);
      i += 2;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(kReplacement, utf8);
      wellFormed = false;
    } else {
      AppendUtf8(unit, utf8);
    }
  }
  return wellFormed;
}

std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian) {
  std::string out;
  out.reserve(utf8.size() * 2);
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = NextCodePoint(utf8, i);
    if (c < 0x10000) {
      AppendUnit(c, bigEndian, out);
    } else {
      AppendUnit(0xD800 + ((c - 0x10000) >> 10), bigEndian, out);
      AppendUnit(0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian, out);
    }
  }
  return out;
}

}  // namespace settings
