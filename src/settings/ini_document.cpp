#include "settings/ini_document.h"

#include "text/gbk.h"

namespace settings {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Blanks are ASCII and never the second byte of a GBK character, so trimming bytes is safe.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  if (bytes.starts_with(kUtf8Bom)) {
    doc.bom_ = kUtf8Bom;
    bytes.remove_prefix(kUtf8Bom.size());
  }
  // Line feeds and carriage returns are below 0x40, so no GBK second byte looks like one.
  while (!bytes.empty()) {
    std::size_t lf = bytes.find('\n');
    if (lf == std::string_view::npos) {
      doc.lines_.push_back({std::string(bytes), ""});
      break;
    }
    std::string_view text = bytes.substr(0, lf);
    std::string ending = "\n";
    if (text.ends_with('\r')) {
      text.remove_suffix(1);
      ending = "\r\n";
    }
    doc.lines_.push_back({std::string(text), std::move(ending)});
    bytes.remove_prefix(lf + 1);
  }
  if (!doc.lines_.empty() && doc.lines_.front().ending == "\r\n") doc.newline_ = "\r\n";
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
  return std::string(Trim(text.substr(KeySeparator(text) + 1)));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::size_t found = FindKey(section, key);
  if (found != text::npos) {
    // Keep the line's own spelling of the key and its blanks up to the value.
    std::string& text = lines_[found].text;
    std::size_t start = KeySeparator(text) + 1;
    while (start < text.size() && IsBlank(text[start])) ++start;
    text.resize(start);
    text.append(value);
    return;
  }

  std::string keyLine = std::string(key) + "=" + std::string(value);
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
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), {std::move(text), newline_});
}

std::string IniDocument::Serialize() const {
  std::string out = bom_;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.ending;
  }
  return out;
}

}  // namespace settings
