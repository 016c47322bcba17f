#include "api/request_body.h"

#include <cstdio>
#include <map>

#include "text/gbk.h"

namespace api {
namespace {

// Appends `text` as a JSON string. Escapes are made per GBK character, never inside one: the
// second byte of a double-byte character may be 0x5C ("\") or 0x22 ('"') and is written as it
// is, so a reader that decodes GBK first sees the character and no escape. Quotes, backslashes and
// control characters are escaped as jsoncpp's StyledWriter escapes them. A lead byte that starts
// no character is written as "?", what a GBK reader makes of it anyway: written as it is, it
// would join the backslash of a following escape into one character.
void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (text::IsLeadByte(c)) {
      if (i + 1 < text.size() && text::IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
        out.append(text.substr(i, 2));
        ++i;
      } else {
        out.push_back('?');
      }
      continue;
    }
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out.append(escape);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

}  // namespace

// jsoncpp's StyledWriter gives this layout, but it escapes byte by byte (and in 1.9.5 reads every
// byte above 0x7F as UTF-8), which breaks GBK texts; the layout is written here instead.
std::string BuildRequestBody(std::initializer_list<BodyMember> members) {
  std::map<std::string_view, std::string_view> sorted;  // byte order of the names
  for (const auto& [name, value] : members) sorted[name] = value;
  if (sorted.empty()) return "{}\n";
  std::string body = "{\n";
  bool first = true;
  for (const auto& [name, value] : sorted) {
    if (!first) body.append(",\n");
    first = false;
    body.append("   ");
    AppendQuoted(body, name);
    body.append(" : ");
    AppendQuoted(body, value);
  }
  body.append("\n}\n");
  return body;
}

}  // namespace api
