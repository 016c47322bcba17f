#include "settings/ini_document.h"

#include "settings/utf16.h"
#include "text/gbk.h"

namespace settings {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// Blanks are ASCII and never the second byte of a GBK character, so trimming bytes is safe.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Drops one pair of matching outer quotes. Quotes are below 0x40, never a GBK second byte.
std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && IsQuote(s.front()) && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

// The text a value is stored as: between double quotes exactly when a read would change it plain.
std::string Stored(std::string_view value) {
  bool quote = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                  Unquote(value).size() != value.size());
  return quote ? "\"" + std::string(value) + "\"" : std::string(value);
}

// The position of the first CR or LF, or npos (a plain loop: find_first_of calls memchr per byte).
std::size_t FindLineEnd(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') return i;
  }
  return std::string_view::npos;
}

// The length of the line ending at `s[0]` (a CR or an LF).
std::size_t EndingLength(std::string_view s) {
  if (s.starts_with("\r\r\n")) return 3;
  if (s.starts_with("\r\n") || s.starts_with("\n\r")) return 2;
  return 1;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  std::string decoded;
  if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
    doc.encoding_ = bytes.starts_with(kUtf16LeBom) ? Encoding::kUtf16Le : Encoding::kUtf16Be;
    doc.exact_ = Utf16ToUtf8(bytes.substr(2), doc.encoding_ == Encoding::kUtf16Be, decoded);
    bytes = decoded;
  } else if (bytes.starts_with(kUtf8Bom)) {
    doc.bom_ = kUtf8Bom;
    bytes.remove_prefix(kUtf8Bom.size());
  }
  // Line feeds and carriage returns are below 0x40, so no GBK second byte looks like one.
  while (!bytes.empty()) {
    std::size_t end = FindLineEnd(bytes);
    std::string_view text = bytes.substr(0, end);
    std::size_t endingLength = end == std::string_view::npos ? 0 : EndingLength(bytes.substr(end));
    Line line{std::string(text), std::string(bytes.substr(text.size(), endingLength)),
              std::nullopt};
    if (doc.encoding_ != Encoding::kEightBit) {
      line.original = std::move(line.text);
      line.text = text::Utf8ToGbk(*line.original);
    }
    doc.lines_.push_back(std::move(line));
    bytes.remove_prefix(text.size() + endingLength);
  }
  if (!doc.lines_.empty() && !doc.lines_.front().ending.empty())
    doc.newline_ = doc.lines_.front().ending;
  return doc;
}

std::optional<std::string_view> IniDocument::SectionName(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty() || t.front() != '[') return std::nullopt;
  std::size_t close = text::FindChar(t, ']', 1);
  if (close == text::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

std::size_t IniDocument::KeySeparator(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return text::npos;
  return text::FindChar(text, '=');
}

std::size_t IniDocument::FindKey(std::string_view section, std::string_view key) const {
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view text = lines_[i].text;
    if (auto name = SectionName(text)) {
      inSection = text::EqualsNoCase(*name, section);
      continue;
    }
    if (!inSection) continue;
    std::size_t eq = KeySeparator(text);
    if (eq != text::npos && text::EqualsNoCase(Trim(text.substr(0, eq)), key)) return i;
  }
  return text::npos;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  std::size_t i = FindKey(section, key);
  if (i == text::npos) return std::nullopt;
  std::string_view text = lines_[i].text;
  return std::string(Unquote(Trim(text.substr(KeySeparator(text) + 1))));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::size_t found = FindKey(section, key);
  if (found != text::npos) {
    // Keep the line's own spelling of the key and its blanks up to the value.
    Line& line = lines_[found];
    std::size_t start = KeySeparator(line.text) + 1;
    while (start < line.text.size() && IsBlank(line.text[start])) ++start;
    line.text.resize(start);
    line.text.append(Stored(value));
    line.original.reset();
    return;
  }

  std::string keyLine = std::string(key) + "=" + Stored(value);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    auto name = SectionName(lines_[i].text);
    if (!name || !text::EqualsNoCase(*name, section)) continue;
    // After the section's last key line, so that blank lines and comments that close the
    // section stay where they are.
    std::size_t at = i + 1;
    for (std::size_t j = i + 1; j < lines_.size() && !SectionName(lines_[j].text); ++j) {
      if (KeySeparator(lines_[j].text) != text::npos) at = j + 1;
    }
    InsertLine(at, std::move(keyLine));
    return;
  }

  if (!lines_.empty() && !Trim(lines_.back().text).empty()) InsertLine(lines_.size(), "");
  InsertLine(lines_.size(), "[" + std::string(section) + "]");
  InsertLine(lines_.size(), std::move(keyLine));
}

void IniDocument::InsertLine(std::size_t at, std::string text) {
  if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = newline_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                {std::move(text), newline_, std::nullopt});
}

std::string IniDocument::Serialize() const {
  if (encoding_ == Encoding::kEightBit) {
    std::string out = bom_;
    for (const Line& line : lines_) {
      out += line.text;
      out += line.ending;
    }
    return out;
  }
  std::string utf8;
  for (const Line& line : lines_) {
    utf8 += line.original ? *line.original : text::GbkToUtf8(line.text);
    utf8 += line.ending;
  }
  bool bigEndian = encoding_ == Encoding::kUtf16Be;
  return std::string(bigEndian ? kUtf16BeBom : kUtf16LeBom) + Utf8ToUtf16(utf8, bigEndian);
}

}  // namespace settings
