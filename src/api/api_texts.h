// What the client tells the user about the outcome of an API call: the messages of the recharge
// and change-password pages and the status-line texts of the login and the expiry refresh (GBK).
#pragma once

#include <string>

#include "api/service_api.h"

namespace api {

// Returns the recharge page's message for `reply`: "充值成功！" for "200", "用户名或密码不正确！"
// for "201", "卡号不存在或已被使用！" for "205", "充值失败，请稍后重试！" for anything else; an
// empty text (show nothing) when both attempts failed.
std::string RechargeMessage(const CodeReply& reply);

// Returns the change-password page's message: "修改成功！" for "200", "修改密码失败！" for "203",
// "用户名或超级密码不正确！" for "204", "修改失败，请稍后重试！" for anything else; empty when both
// attempts failed.
std::string ChangePasswordMessage(const CodeReply& reply);

// Returns the status-line text of a login that was not accepted: the texts of codes "201", "202"
// and "214", else (both attempts failed included) "错误信息：服务器故障或连接超时！error:404".
// Empty for "200", the accepted login.
std::string ContactServerStatus(const CodeReply& reply);

// Returns "提示信息：使用时间已到期 提示代码：202", the status line when getDueDate answers "202".
std::string DueDateExpiredStatus();

}  // namespace api
