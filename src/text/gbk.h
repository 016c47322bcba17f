// Text in the system code page (GBK, code page 936): conversion to and from UTF-8, and the
// character-aware searches and comparisons that every separator search of the client uses.
//
// A GBK text is a std::string of bytes. A byte from 0x81 to 0xFE starts a double-byte character;
// its second byte (0x40 to 0xFE) may equal an ASCII separator such as "\" (0x5C) or "|" (0x7C),
// so separators are looked for character by character, never byte by byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

inline constexpr std::size_t npos = std::string_view::npos;

// Returns true when c starts a double-byte GBK character.
constexpr bool IsLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// Returns true when c may be the second byte of a double-byte GBK character.
constexpr bool IsTrailByte(unsigned char c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Converts GBK bytes to UTF-8. A byte sequence that is no GBK character becomes "?": a lead byte
// with a second byte that GBK leaves unassigned is one character, so that second byte (which may
// be "\" or '"') is never read on its own.
std::string GbkToUtf8(std::string_view gbk);

// Converts UTF-8 to GBK. A character that GBK lacks, and a malformed UTF-8 sequence, becomes "?".
std::string Utf8ToGbk(std::string_view utf8);

// Returns the GBK form of a fixed UTF-8 text, such as a message of the program, converted once
// and kept for the rest of the run. Safe to call from any thread.
const std::string& Gbk(std::string_view utf8);

// Returns the position of the first single-byte character c at or after `from` (a character
// boundary), or npos. The second byte of a double-byte character never matches.
std::size_t FindChar(std::string_view gbk, char c, std::size_t from = 0);

// Returns the position of the last single-byte character c, or npos.
std::size_t FindLastChar(std::string_view gbk, char c);

// Returns the position of the first occurrence of `needle` that starts on a character boundary at
// or after `from`, or npos. An empty needle is found at `from`.
std::size_t Find(std::string_view gbk, std::string_view needle, std::size_t from = 0);

// Replaces every occurrence of `from` that starts on a character boundary by `to`.
std::string ReplaceAll(std::string_view gbk, std::string_view from, std::string_view to);

// Compares two GBK texts without regard to the case of ASCII letters; double-byte characters
// compare byte for byte (their second bytes are never folded). Returns <0, 0 or >0.
int CompareNoCase(std::string_view a, std::string_view b);

// Returns true when the two texts are equal without regard to letter case (see CompareNoCase).
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return CompareNoCase(a, b) == 0;
}

}  // namespace text
