// JSON of the stand-in service: one-line UTF-8 answers, request bodies that arrive in GBK, and the
// data files of the data folder.
#pragma once

#include <json/value.h>

#include <string>
#include <vector>

namespace service {

// Returns `value` as one line of JSON with a closing line feed; non-ASCII text stays plain UTF-8.
std::string OneLineJson(const Json::Value& value);

// Converts a GBK request body to UTF-8 and parses it. Returns false when it is no JSON object,
// also when it nests deeper than the parser's bound. Never throws.
bool ParseGbkObject(const std::string& body, Json::Value& object);

// Reads the members `names` of a GBK request body, in that order, as UTF-8 texts into `texts`; an
// absent member reads as an empty text. Returns false when the body is no JSON object or one of
// the members is present but no text (null included).
bool ReadTextMembers(const std::string& body, const std::vector<const char*>& names,
                     std::vector<std::string>& texts);

// Reads the JSON file at `path`. Returns false with `error` set when it cannot be read or parsed.
bool ReadJsonFile(const std::string& path, Json::Value& value, std::string& error);

// Writes `value` to `path` as indented UTF-8 JSON, atomically. Returns false when it failed.
bool WriteJsonFile(const std::string& path, const Json::Value& value);

}  // namespace service
