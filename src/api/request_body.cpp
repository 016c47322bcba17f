#include "api/request_body.h"

#include <json/json.h>

namespace api {

// jsoncpp's StyledWriter gives this layout, but in jsoncpp 1.9.5 it reads every byte above 0x7F
// as UTF-8 and writes "\u" escapes, which turns GBK texts into other characters. The stream writer
// with the same indentation and raw bytes writes the identical layout without the closing line
// feed, which is added here.
std::string BuildRequestBody(std::initializer_list<BodyMember> members) {
  Json::Value object(Json::objectValue);
  for (const auto& [name, value] : members) {
    object[std::string(name)] = Json::Value(value.data(), value.data() + value.size());
  }
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "   ";
  builder["emitUTF8"] = true;
  std::string body = Json::writeString(builder, object);
  body.push_back('\n');
  return body;
}

}  // namespace api
