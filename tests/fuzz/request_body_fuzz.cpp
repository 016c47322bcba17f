// A request body as the client writes it and the stand-in service reads it: whatever GBK texts
// the client sends, the service reads each back as the same text (its conversion to UTF-8),
// byte for byte. The input is three member values and one more member name (split at 0x1F).
#include <json/value.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api/request_body.h"
#include "fuzz_support.h"
#include "service/json_io.h"
#include "text/gbk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> fields = fuzz::SplitFields(input, 4);
  const std::string_view name = fields[0];
  const std::string_view password = fields[1];
  const std::string_view card = fields[2];
  const std::string_view extraName = fields[3];

  const std::string body =
      api::BuildRequestBody({{"name", name}, {"password", password}, {"card_no", card}});
  std::vector<std::string> texts;
  FUZZ_CHECK(service::ReadTextMembers(body, {"card_no", "name", "password"}, texts));
  FUZZ_CHECK(texts.size() == 3);
  // The service reads each text as its own conversion to UTF-8: a text that is GBK throughout
  // thus comes back as its very bytes, and no byte of one text reaches another.
  FUZZ_CHECK(texts[0] == text::GbkToUtf8(card));
  FUZZ_CHECK(texts[1] == text::GbkToUtf8(name));
  FUZZ_CHECK(texts[2] == text::GbkToUtf8(password));

  // Any member name too; given twice, its last value stands.
  const std::string named = api::BuildRequestBody({{"name", name}, {extraName, card}});
  Json::Value object;
  FUZZ_CHECK(service::ParseGbkObject(named, object));
  const std::string key = text::GbkToUtf8(extraName);
  const Json::Value* member = object.find(key.data(), key.data() + key.size());
  FUZZ_CHECK(member != nullptr && member->isString());
  FUZZ_CHECK(member->asString() == text::GbkToUtf8(card));
  return 0;
}
