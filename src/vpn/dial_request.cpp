#include "vpn/dial_request.h"

#include <cstdio>

#include "text/gbk.h"

namespace vpn {
namespace {

std::optional<std::string> Check(const std::string& value, std::size_t capacity,
                                 const char* whatUtf8) {
  if (value.size() < capacity) return std::nullopt;
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "错误信息：%s过长（最多%zu个字符），未拨号", whatUtf8,
                capacity - 1);
  return text::Utf8ToGbk(buffer);
}

}  // namespace

std::optional<std::string> RefusalOfOversizedFields(const DialRequest& request) {
  if (auto refusal = Check(request.entryName, DialRequest::kEntryNameCapacity, "连接名称")) {
    return refusal;
  }
  if (auto refusal = Check(request.phoneNumber, DialRequest::kPhoneNumberCapacity, "服务器地址")) {
    return refusal;
  }
  if (auto refusal = Check(request.userName, DialRequest::kUserNameCapacity, "用户名")) {
    return refusal;
  }
  if (auto refusal = Check(request.password, DialRequest::kPasswordCapacity, "密码")) {
    return refusal;
  }
  if (auto refusal = Check(request.domain, DialRequest::kDomainCapacity, "域")) return refusal;
  return Check(request.protocol, DialRequest::kProtocolCapacity, "协议");
}

}  // namespace vpn
