// The API answer as the client reads it: the first line of a body arriving in pieces, its
// conversion from UTF-8 to GBK, the JSON parse (which must never throw) and the members every
// endpoint reads.
#include <json/value.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "api/answer.h"
#include "api/answer_line.h"
#include "fuzz_support.h"
#include "text/gbk.h"

namespace {

// True when every text of `value` (member names included) is GBK that comes back unchanged
// through UTF-8, as the conversion after the parse leaves it.
bool TextsAreGbk(const Json::Value& value) {
  auto isGbk = [](const std::string& text) {
    return text::Utf8ToGbk(text::GbkToUtf8(text)) == text;
  };
  if (value.isString()) return isGbk(value.asString());
  if (value.isObject()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (!isGbk(it.name()) || !TextsAreGbk(*it)) return false;
    }
  } else if (value.isArray()) {
    for (const Json::Value& element : value) {
      if (!TextsAreGbk(element)) return false;
    }
  }
  return true;
}

void ReadAsTheEndpointsDo(const Json::Value& root) {
  for (const char* name : {"code", "duedate", "msg", "version"}) {
    const std::string text = api::MemberText(root, name);
    FUZZ_CHECK(api::OptionalMemberText(root, name).value_or(std::string()) == text);
  }
  api::CodeEquals(api::MemberText(root, "code"), "200");
  if (!root.isArray()) return;
  for (const Json::Value& element : root) {
    if (!element.isObject()) continue;
    for (const char* name : {"vpnNo", "vpnAddress", "vpnHost"}) api::MemberText(element, name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first byte sets the size of the pieces the body arrives in.
  const std::size_t piece = input.empty() ? 1 : 1 + static_cast<unsigned char>(input[0]);
  std::string_view body = input.empty() ? input : input.substr(1);

  api::AnswerLine inPieces;
  for (std::string_view rest = body; !rest.empty() && inPieces.Take(rest.substr(0, piece));) {
    rest.remove_prefix(rest.size() < piece ? rest.size() : piece);
  }
  api::AnswerLine whole;
  whole.Take(body);
  const std::string answer = inPieces.Gbk();
  FUZZ_CHECK(answer == whole.Gbk());
  FUZZ_CHECK(answer.find_first_of("\r\n") == std::string::npos);

  Json::Value root;
  const bool parsed = api::ParseAnswer(answer, root);
  if (parsed) {
    FUZZ_CHECK(TextsAreGbk(root));
  } else {
    FUZZ_CHECK(root.isNull());
  }
  ReadAsTheEndpointsDo(root);
  return 0;
}
