// The INI text model behind the profile operations: a file's lines as read, with lookups and
// in-place updates that keep every line they do not change byte for byte.
//
// Read as the platform's profile functions read:
// - a line ends at a line feed, a carriage return, or any of the pairs CR LF, LF CR and the
//   triple CR CR LF (a CR LF written through a text-mode stream once more);
// - a value loses the blanks at both of its ends, and then one pair of matching outer quotes
//   ('"' or "'"), so `Host = "1.2.3.4"` reads 1.2.3.4;
// - a file that starts with a UTF-16 byte order mark (little or big endian) is UTF-16 text, read
//   in its GBK view: a character that GBK lacks reads as "?". A UTF-8 order mark is kept aside.
// Written so that every value reads back as it was written: a value goes between double quotes
// exactly when reading it plain would change it (a blank at either end, matching outer quotes);
// every other value is written plain. New lines take the line end of the file's first line. A
// UTF-16 file is written in UTF-16 with its own byte order: the lines a write does not change keep
// their exact UTF-16 text, also the characters that GBK lacks, and a changed line is converted
// from GBK. One that is no well-formed UTF-16 could not be written back as it is and is never
// written (CanSerialize).
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
  // Splits `bytes` into lines. Never fails: a line that is neither a section, a key nor a comment
  // is kept as it is.
  static IniDocument Parse(std::string_view bytes);

  // Returns the value of the first `key` line in a `section` of that name (sections of the same
  // name count as one, in file order), read as described above; nullopt when there is none.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the value of the first matching key line, or adds a key line after the last key
  // line of the first matching section, or adds the section at the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // False when Serialize could not give back the lines that were not changed byte for byte (a
  // UTF-16 file that is no well-formed UTF-16).
  bool CanSerialize() const { return exact_; }

  // Returns the file's bytes: the order mark, then every line with its own line ending, in the
  // file's encoding.
  std::string Serialize() const;

 private:
  enum class Encoding { kEightBit, kUtf16Le, kUtf16Be };

  struct Line {
    std::string text;    // the GBK text, without its line ending
    std::string ending;  // as found ("\n", "\r\n", "\r", "\n\r", "\r\r\n"), "" for a last line
    // For a UTF-16 file, the line's text in UTF-8 as read, while the line is unchanged.
    std::optional<std::string> original;
  };

  // Returns the name of the section that `text` opens, or nullopt when it is no section line.
  static std::optional<std::string_view> SectionName(std::string_view text);
  // Returns the position of the "=" of a key line, or npos when `text` is no key line.
  static std::size_t KeySeparator(std::string_view text);
  // Returns the position of the line of `key` in the first matching section, or npos.
  std::size_t FindKey(std::string_view section, std::string_view key) const;
  // Inserts a line before position `at`, giving the line before it an ending when it had none.
  void InsertLine(std::size_t at, std::string text);

  Encoding encoding_ = Encoding::kEightBit;
  bool exact_ = true;
  std::string bom_;  // a UTF-8 order mark of an eight-bit file, kept as it was
  std::string newline_ = "\n";
  std::vector<Line> lines_;
};

}  // namespace settings
