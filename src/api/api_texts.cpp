#include "api/api_texts.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "text/gbk.h"

namespace api {
namespace {

// A code and its text (UTF-8 here, GBK when handed out).
using CodeText = std::pair<std::string_view, std::string_view>;

std::string TextForCode(const CodeReply& reply, std::initializer_list<CodeText> table,
                        std::string_view otherwise) {
  for (const auto& [code, message] : table) {
    if (reply.CodeIs(code)) return text::Utf8ToGbk(message);
  }
  return text::Utf8ToGbk(otherwise);
}

}  // namespace

std::string RechargeMessage(const CodeReply& reply) {
  if (reply.BothFailed()) return std::string();
  return TextForCode(
      reply,
      {{"200", "充值成功！"}, {"201", "用户名或密码不正确！"}, {"205", "卡号不存在或已被使用！"}},
      "充值失败，请稍后重试！");
}

std::string ChangePasswordMessage(const CodeReply& reply) {
  if (reply.BothFailed()) return std::string();
  return TextForCode(
      reply,
      {{"200", "修改成功！"}, {"203", "修改密码失败！"}, {"204", "用户名或超级密码不正确！"}},
      "修改失败，请稍后重试！");
}

std::string ContactServerStatus(const CodeReply& reply) {
  if (reply.CodeIs("200")) return std::string();
  return TextForCode(reply,
                     {{"201", "错误信息：用户不存在  错误代码：201"},
                      {"202", "错误信息：使用时间已到期 错误代码：202"},
                      {"214", "错误信息：服务器账号错误，请联系客服处理 错误代码：214"}},
                     "错误信息：服务器故障或连接超时！error:404");
}

std::string DueDateExpiredStatus() {
  return text::Utf8ToGbk("提示信息：使用时间已到期 提示代码：202");
}

}  // namespace api
