// Reading the service API's answers: the first line of the body, already in GBK, parsed as JSON
// by the rules that every endpoint shares.
#pragma once

#include <json/value.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace api {

// Arrays and objects nested this deep make an answer no JSON (the bound of jsoncpp's classic
// reader, which throws there).
inline constexpr std::size_t kMaxAnswerDepth = 1000;

// Parses the GBK answer `answer` into `root` as jsoncpp's classic reader does in its default mode
// (comments allowed, any JSON value as the root, text after the root ignored, no trailing commas),
// with every text of `root` in GBK. The parse reads characters, not bytes: a character whose
// second byte is "\" or '"' stays in its text, and a "\u" escape gives the character it names.
// Returns false, with `root` null, when it is no JSON, nesting beyond kMaxAnswerDepth included.
// Never throws.
bool ParseAnswer(const std::string& answer, Json::Value& root);

// Returns the text of member `name` of `object`, or nullopt when `object` is no object, lacks the
// member or the member is not a JSON string.
std::optional<std::string> OptionalMemberText(const Json::Value& object, std::string_view name);

// Returns the text of member `name`, or an empty text where OptionalMemberText gives nullopt.
std::string MemberText(const Json::Value& object, std::string_view name);

// Returns true when `code` equals `expected` as a whole text, without regard to letter case.
bool CodeEquals(std::string_view code, std::string_view expected);

}  // namespace api
