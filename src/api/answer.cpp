#include "api/answer.h"

#include <json/reader.h>

#include <memory>

#include "text/gbk.h"

namespace api {
namespace {

// The features of jsoncpp's classic reader in its default mode. Making a reader costs more than
// parsing a short answer, so each thread keeps one.
Json::CharReader& Reader() {
  thread_local std::unique_ptr<Json::CharReader> reader = [] {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["strictRoot"] = false;
    builder["failIfExtra"] = false;
    builder["collectComments"] = false;
    return std::unique_ptr<Json::CharReader>(builder.newCharReader());
  }();
  return *reader;
}

}  // namespace

bool ParseAnswer(const std::string& answer, Json::Value& root) {
  root = Json::Value();
  if (Reader().parse(answer.data(), answer.data() + answer.size(), &root, nullptr)) return true;
  root = Json::Value();
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
