// The INI text model behind the profile operations: a file's lines as read, with lookups and
// in-place updates that keep every line they do not change byte for byte.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// One INI file held as its lines. Section and key names compare without regard to ASCII letter
// case; every search for a separator is GBK-aware.
class IniDocument {
 public:
  // Splits `bytes` into lines (LF or CRLF endings, a UTF-8 byte order mark at the start kept
  // aside). Never fails: a line that is neither a section, a key nor a comment is kept as it is.
  static IniDocument Parse(std::string_view bytes);

  // Returns the value of the first `key` line in a `section` of that name (sections of the same
  // name count as one, in file order), blanks at both ends removed; nullopt when there is none.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the value of the first matching key line, or adds "key=value" after the last key
  // line of the first matching section, or adds the section at the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // Returns the file's bytes: the order mark, then every line with its own line ending.
  std::string Serialize() const;

 private:
  struct Line {
    std::string text;    // without its line ending
    std::string ending;  // "\n", "\r\n" or "" for a last line without one
  };

  // Returns the name of the section that `text` opens, or nullopt when it is no section line.
  static std::optional<std::string_view> SectionName(std::string_view text);
  // Returns the position of the "=" of a key line, or npos when `text` is no key line.
  static std::size_t KeySeparator(std::string_view text);
  // Returns the position of the line of `key` in the first matching section, or npos.
  std::size_t FindKey(std::string_view section, std::string_view key) const;
  // Inserts a line before position `at`, giving the line before it an ending when it had none.
  void InsertLine(std::size_t at, std::string text);

  std::string bom_;
  std::string newline_ = "\n";
  std::vector<Line> lines_;
};

}  // namespace settings
