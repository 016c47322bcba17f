// The input checks of the account pages: each field has its messages and length bounds, and a
// page checks its fields in order, stopping at the first failure.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace account {

// The rules of one input field. Messages are UTF-8 literals; the checks return them in GBK.
struct FieldRule {
  std::string_view emptyMessage;
  std::string_view chineseMessage;
  std::string_view tooShortMessage;
  std::string_view tooLongMessage;  // empty: no upper bound
  std::size_t minLength;            // in bytes
  std::size_t maxLength;            // in bytes; used only with tooLongMessage
};

inline constexpr FieldRule kUserNameField{
    "用户名不能为空", "用户名不能含有中文字符", "用户名不能小于3个字符", "", 3, 0};
inline constexpr FieldRule kPasswordField{
    "密码不能为空", "密码不能含有中文字符", "密码不能小于3个字符", "", 3, 0};
inline constexpr FieldRule kSuperPasswordField{
    "超级密码不能为空", "超级密码不能含有中文字符", "超级密码不能小于3个字符", "", 3, 0};
inline constexpr FieldRule kNewPasswordField{
    "新密码不能为空", "新密码不能含有中文字符", "新密码不能小于3个字符", "", 3, 0};
// A card number is exactly 32 bytes.
inline constexpr FieldRule kCardNumberField{
    "卡号不能为空", "卡号不能含有中文字符", "卡号不能小于32个字符", "卡号不能大于32个字符", 32, 32};

// Returns true when any byte of `text` is 0xA0 or above. That catches the characters of GB2312,
// full-width letters and digits included; a GBK extension character whose two bytes are both
// below 0xA0 passes.
bool ContainsChinese(std::string_view text);

// Runs the tests of `rule` on the GBK text `value` in order (empty, Chinese, too short, too
// long). Returns the GBK message of the first test that fails, or an empty text when all pass.
// Nothing is trimmed: blanks count like any other character.
std::string CheckField(const FieldRule& rule, std::string_view value);

// One field to check: its rule and its GBK value.
using FieldToCheck = std::pair<const FieldRule&, std::string_view>;

// Checks `fields` in their order and returns the message of the first failure, or an empty text
// when every field passes; the fields after a failing one are not looked at.
std::string FirstFieldError(std::initializer_list<FieldToCheck> fields);

}  // namespace account
