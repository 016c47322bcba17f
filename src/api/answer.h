// Reading the service API's answers: the first line of the body, already in GBK, parsed as JSON
// by the rules that every endpoint shares.
#pragma once

#include <json/value.h>

#include <optional>
#include <string>
#include <string_view>

namespace api {

// Parses `answer` into `root` (comments allowed, any JSON value as the root, text after the root
// ignored). Returns false, with `root` null, when it is no JSON.
bool ParseAnswer(const std::string& answer, Json::Value& root);

// Returns the text of member `name` of `object`, or nullopt when `object` is no object, lacks the
// member or the member is not a JSON string.
std::optional<std::string> OptionalMemberText(const Json::Value& object, std::string_view name);

// Returns the text of member `name`, or an empty text where OptionalMemberText gives nullopt.
std::string MemberText(const Json::Value& object, std::string_view name);

// Returns true when `code` equals `expected` as a whole text, without regard to letter case.
bool CodeEquals(std::string_view code, std::string_view expected);

}  // namespace api
