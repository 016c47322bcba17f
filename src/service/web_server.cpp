#include "service/web_server.h"

#include <httplib.h>

#include <string>
#include <string_view>

#include "service/ledger.h"

namespace service {
namespace {

constexpr char kHtmlType[] = "text/html; charset=utf-8";
constexpr unsigned long kMaxFormBody = 16 * 1024;

std::string EscapeHtml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string Page(std::string_view title, std::string_view body) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page.append(title);
  page.append(
      "</title>\n<style>body{font-family:sans-serif;max-width:32em;margin:2em auto;padding:0 1em}"
      "label{display:block;margin:.8em 0}input{display:block;width:100%;padding:.3em;"
      "box-sizing:border-box}button{padding:.4em 2em}.note{color:#555}</style>\n</head>\n<body>\n");
  page.append(body);
  page.append("</body>\n</html>\n");
  return page;
}

std::string FormPage() {
  std::string body = "<h1>注册账号</h1>\n<form method=\"post\" action=\"/register\">\n";
  body +=
      "<label>用户名<input name=\"name\" required minlength=\"3\" maxlength=\"32\" "
      "pattern=\"[A-Za-z0-9_.@\\-]+\" autocomplete=\"username\"></label>\n";
  body +=
      "<label>密码<input name=\"password\" type=\"password\" required minlength=\"3\" "
      "maxlength=\"32\" autocomplete=\"new-password\"></label>\n";
  body +=
      "<label>确认密码<input name=\"password2\" type=\"password\" required minlength=\"3\" "
      "maxlength=\"32\" autocomplete=\"new-password\"></label>\n";
  body +=
      "<label>超级密码（修改密码时使用）<input name=\"superPassword\" type=\"password\" "
      "required minlength=\"3\" maxlength=\"32\"></label>\n";
  body += "<button type=\"submit\">注册</button>\n</form>\n";
  body +=
      "<p class=\"note\">用户名为 3 到 32 个英文字母、数字或 _ . - @；密码和超级密码为 3 到 32 "
      "个英文字符。新账号可试用 " +
      std::to_string(kTrialDays) + " 天，之后请用充值卡续费。</p>\n";
  return Page("注册账号", body);
}

void Refuse(httplib::Response& response, int status, std::string_view reason) {
  std::string body = "<h1>注册失败</h1>\n<p>";
  body.append(reason);
  body.append("</p>\n<p><a href=\"/\">返回注册页</a></p>\n");
  response.status = status;
  response.set_content(Page("注册失败", body), kHtmlType);
}

void Register(Ledger& ledger, const httplib::Request& request, httplib::Response& response) {
  const std::string name = request.get_param_value("name");
  const std::string password = request.get_param_value("password");
  const std::string confirmation = request.get_param_value("password2");
  const std::string superPassword = request.get_param_value("superPassword");
  if (password != confirmation) {
    Refuse(response, 400, "两次输入的密码不一致。");
    return;
  }
  std::string dueDate;
  switch (ledger.Register(name, password, superPassword, dueDate)) {
    case RegisterOutcome::kCreated: {
      std::string body = "<h1>注册成功</h1>\n<p>账号 <b>" + EscapeHtml(name) +
                         "</b> 已创建，可试用到 " + dueDate +
                         "。</p>\n<p>请在客户端中登录；续费请使用客户端的“充值续费”页。</p>\n";
      response.status = 200;
      response.set_content(Page("注册成功", body), kHtmlType);
      return;
    }
    case RegisterOutcome::kNameTaken:
      Refuse(response, 409, "用户名 <b>" + EscapeHtml(name) + "</b> 已被注册，请换一个。");
      return;
    case RegisterOutcome::kBadName:
      Refuse(response, 400, "用户名须为 3 到 32 个英文字母、数字或 _ . - @。");
      return;
    case RegisterOutcome::kBadPassword:
      Refuse(response, 400, "密码须为 3 到 32 个英文字符。");
      return;
    case RegisterOutcome::kBadSuperPassword:
      Refuse(response, 400, "超级密码须为 3 到 32 个英文字符。");
      return;
    case RegisterOutcome::kNotSaved:
      Refuse(response, 500, "服务暂时无法保存账号，请稍后重试。");
      return;
  }
}

}  // namespace

void InstallWebRoutes(httplib::Server& server, Ledger& ledger) {
  server.set_payload_max_length(kMaxFormBody);
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(FormPage(), kHtmlType);
  });
  server.Get("/register", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/", 303);
  });
  server.Post("/register", [&ledger](const httplib::Request& request, httplib::Response& response) {
    Register(ledger, request, response);
  });
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        std::string body = response.status == 404   ? "<h1>页面不存在</h1>\n"
                           : response.status == 413 ? "<h1>提交的内容过长</h1>\n"
                                                    : "<h1>请求无法处理</h1>\n";
        body += "<p><a href=\"/\">返回注册页</a></p>\n";
        response.set_content(Page("错误", body), kHtmlType);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& response,
                                  std::exception_ptr) { Refuse(response, 500, "服务内部错误。"); });
}

}  // namespace service
