#include "service/json_io.h"

#include <json/reader.h>
#include <json/writer.h>

#include <memory>

#include "settings/atomic_file.h"
#include "text/gbk.h"

namespace service {
namespace {

// Parses strict JSON. jsoncpp throws where the nesting passes its bound (stackLimit); that is
// one more way of being no valid JSON here.
bool Parse(const std::string& text, Json::Value& value, std::string& errors) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  builder["failIfExtra"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  try {
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
  } catch (const Json::Exception& error) {
    errors = error.what();
    value = Json::Value();
    return false;
  }
}

}  // namespace

std::string OneLineJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value) + "\n";
}

bool ParseGbkObject(const std::string& body, Json::Value& object) {
  std::string errors;
  return Parse(text::GbkToUtf8(body), object, errors) && object.isObject();
}

bool ReadTextMembers(const std::string& body, const std::vector<const char*>& names,
                     std::vector<std::string>& texts) {
  Json::Value object;
  if (!ParseGbkObject(body, object)) return false;
  for (const char* name : names) {
    const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
    if (member != nullptr && !member->isString()) return false;
    texts.push_back(member != nullptr ? member->asString() : std::string());
  }
  return true;
}

bool ReadJsonFile(const std::string& path, Json::Value& value, std::string& error) {
  std::string contents;
  if (settings::ReadTextFile(path, contents) != settings::ReadStatus::kOk) {
    error = "cannot read " + path;
    return false;
  }
  std::string errors;
  if (!Parse(contents, value, errors)) {
    error = path + " is no valid JSON: " + errors;
    return false;
  }
  return true;
}

bool WriteJsonFile(const std::string& path, const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "  ";
  builder["emitUTF8"] = true;
  return settings::ReplaceFileAtomically(path, Json::writeString(builder, value) + "\n");
}

}  // namespace service
