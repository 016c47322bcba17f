#include "account/field_checks.h"

#include "text/gbk.h"

namespace account {

bool ContainsChinese(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0xA0) return true;
  }
  return false;
}

std::string CheckField(const FieldRule& rule, std::string_view value) {
  std::string_view failed;
  if (value.empty()) {
    failed = rule.emptyMessage;
  } else if (ContainsChinese(value)) {
    failed = rule.chineseMessage;
  } else if (value.size() < rule.minLength) {
    failed = rule.tooShortMessage;
  } else if (!rule.tooLongMessage.empty() && value.size() > rule.maxLength) {
    failed = rule.tooLongMessage;
  }
  return failed.empty() ? std::string() : text::Utf8ToGbk(failed);
}

std::string FirstFieldError(std::initializer_list<FieldToCheck> fields) {
  for (const auto& [rule, value] : fields) {
    std::string message = CheckField(rule, value);
    if (!message.empty()) return message;
  }
  return {};
}

}  // namespace account
