// The JSON request bodies of the service API: an object of text members, laid out the way the
// service expects (one member a line, three blanks of indentation, members in byte order of their
// names, a closing line feed), with the GBK bytes of the values unchanged.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace api {

// One member of a request: name and GBK value.
using BodyMember = std::pair<std::string_view, std::string_view>;

// Returns the body text for an object holding `members` as JSON strings. The texts are read
// character by character in GBK: quotes, backslashes and control characters are escaped as JSON
// requires, every double-byte character is written unchanged (also where its second byte is "\"
// or '"'), and a lead byte that starts no character is written as "?". A name given twice keeps
// its last value.
std::string BuildRequestBody(std::initializer_list<BodyMember> members);

}  // namespace api
