#include "api/answer.h"

#include <json/reader.h>

#include "text/gbk.h"

namespace api {
namespace {

// jsoncpp's classic reader in its default mode (Json::Features::all(): comments allowed, any value
// as the root, text after the root ignored). Its successor, CharReader, differs even when set up
// alike (it takes "+5" for a number, for one), so the classic reader itself reads the answers.
bool ClassicParse(const std::string& text, Json::Value& root) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::Reader reader;
#pragma GCC diagnostic pop
  return reader.parse(text.data(), text.data() + text.size(), root, false);
}

// Converts every text of `value` (member names included) from UTF-8 to GBK. The depth is bounded
// by the parse.
Json::Value TextsToGbk(const Json::Value& value) {
  if (value.isString()) return Json::Value(text::Utf8ToGbk(value.asString()));
  if (value.isArray()) {
    Json::Value converted(Json::arrayValue);
    for (const Json::Value& element : value) converted.append(TextsToGbk(element));
    return converted;
  }
  if (value.isObject()) {
    Json::Value converted(Json::objectValue);
    for (auto it = value.begin(); it != value.end(); ++it) {
      converted[text::Utf8ToGbk(it.name())] = TextsToGbk(*it);
    }
    return converted;
  }
  return value;
}

}  // namespace

// jsoncpp reads bytes: in a GBK text the second byte of a character may be "\" or '"' and would
// be read as an escape or the end of a string. The answer is therefore parsed in UTF-8, the form
// it arrived in, and its texts are converted to GBK afterwards.
bool ParseAnswer(const std::string& answer, Json::Value& root) {
  root = Json::Value();
  const std::string utf8 = text::GbkToUtf8(answer);
  Json::Value parsed;
  try {
    if (ClassicParse(utf8, parsed)) {
      root = TextsToGbk(parsed);
      return true;
    }
  } catch (const Json::Exception&) {
    // The classic reader throws where the nesting passes its bound.
  }
  return false;
}

std::optional<std::string> OptionalMemberText(const Json::Value& object, std::string_view name) {
  if (!object.isObject()) return std::nullopt;
  const Json::Value* member = object.find(name.data(), name.data() + name.size());
  if (member == nullptr || !member->isString()) return std::nullopt;
  return member->asString();
}

std::string MemberText(const Json::Value& object, std::string_view name) {
  return OptionalMemberText(object, name).value_or(std::string());
}

bool CodeEquals(std::string_view code, std::string_view expected) {
  return text::EqualsNoCase(code, expected);
}

}  // namespace api
