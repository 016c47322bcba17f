// The endpoint rules of the service API against a scripted server on loopback: the fallback,
// the request bodies byte for byte, and how answers are read.
#include "api/service_api.h"

#include <gtest/gtest.h>
#include <json/writer.h>

#include <map>
#include <mutex>

#include "api/api_texts.h"
#include "loopback.h"
#include "settings/deployment.h"
#include "test_support.h"
#include "text/gbk.h"

namespace api_test {
namespace {

using api::Answered;

// A server with two base addresses, /primary/ and /fallback/, whose answers the test scripts
// per path; it records every request.
class ScriptedService {
 public:
  struct Seen {
    std::string method;
    std::string path;
    std::string body;
  };

  ScriptedService() {
    auto server = std::make_unique<httplib::Server>();
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
      std::lock_guard lock(mutex_);
      seen_.push_back({request.method, request.path, request.body});
      auto it = replies_.find(request.path);
      if (it == replies_.end()) {
        response.status = 404;
        return;
      }
      response.status = it->second.first;
      response.set_content(it->second.second, "application/json; charset=utf-8");
    };
    server->Get(".*", handler);
    server->Post(".*", handler);
    thread_ = std::make_unique<HttpServerThread>(std::move(server));
  }

  // Answers `path` with `status` and `body` (UTF-8).
  void Reply(const std::string& path, int status, const std::string& body) {
    std::lock_guard lock(mutex_);
    replies_[path] = {status, body};
  }

  std::vector<Seen> Requests() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

  std::string Base(const std::string& name) const { return thread_->Origin() + "/" + name + "/"; }

  api::ApiMembers Members() const {
    api::ApiMembers members(Base("primary"));
    members.fallbackApiBase = Base("fallback");
    return members;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::pair<int, std::string>> replies_;
  std::vector<Seen> seen_;
  std::unique_ptr<HttpServerThread> thread_;
};

class ServiceApiTest : public ::testing::Test {
 protected:
  ScopedClientOptions options_{TestOptions()};
  ScriptedService service_;
};

TEST_F(ServiceApiTest, FallsBackOnceAndTellsWhichBaseAnswered) {
  struct Case {
    const char* name;
    int primary;  // 0: no answer scripted (404)
    int fallback;
    Answered expected;
    std::size_t requests;
  } cases[] = {
      {"primary answers", 200, 200, Answered::kPrimary, 1},
      {"primary fails with 500", 500, 200, Answered::kFallback, 2},
      {"primary has no such path", 0, 200, Answered::kFallback, 2},
      {"both fail", 500, 503, Answered::kNone, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedService service;
    if (c.primary) service.Reply("/primary/getNotice", c.primary, "{\"msg\":\"p\"}");
    service.Reply("/fallback/getNotice", c.fallback, "{\"msg\":\"f\"}");
    api::ApiMembers members = service.Members();
    EXPECT_EQ(api::CallWithFallback(members, api::kGetNotice, "GET", nullptr), c.expected);
    EXPECT_EQ(service.Requests().size(), c.requests);
    EXPECT_EQ(members.requestUrl,
              service.Base(c.requests == 1 ? "primary" : "fallback") + "getNotice");
    if (c.expected != Answered::kNone) {
      EXPECT_EQ(api::AnsweredBase(members, c.expected),
                service.Base(c.expected == Answered::kPrimary ? "primary" : "fallback"));
    }
  }

  // An unreachable primary falls back as well.
  ScriptedService service;
  service.Reply("/fallback/getNotice", 200, "{\"msg\":\"f\"}");
  api::ApiMembers members = service.Members();
  members.primaryApiBase = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/api/";
  api::NoticeReply notice = api::GetNotice(members);
  EXPECT_EQ(notice.answered, Answered::kFallback);
  EXPECT_EQ(notice.msg, "f");
}

TEST_F(ServiceApiTest, RechargeSucceededAtTheFallbackSendsTheFollowUpThere) {
  service_.Reply("/primary/recharge", 500, "{\"code\":\"200\"}");
  service_.Reply("/fallback/recharge", 200, "{\"code\":\"200\"}");
  service_.Reply("/fallback/freshikuai", 200, "{}");
  api::ApiMembers members = service_.Members();
  api::CodeReply reply =
      api::Recharge(members, "demo", "demo123", "TUNVIKDEMOCARD000000000000000001");
  ASSERT_EQ(reply.answered, Answered::kFallback);
  EXPECT_EQ(api::RechargeMessage(reply), text::Utf8ToGbk("充值成功！"));
  api::SendRechargeFollowUp(members, "demo", "demo123", api::AnsweredBase(members, reply.answered));

  auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].path, "/primary/recharge");
  EXPECT_EQ(requests[1].path, "/fallback/recharge");
  EXPECT_EQ(requests[2].path, "/fallback/freshikuai");
  EXPECT_EQ(requests[2].method, "POST");
  EXPECT_EQ(requests[2].body, "{\n   \"name\" : \"demo\",\n   \"password\" : \"demo123\"\n}\n");
  EXPECT_EQ(requests[0].body,
            "{\n   \"card_no\" : \"TUNVIKDEMOCARD000000000000000001\",\n   \"name\" : \"demo\",\n"
            "   \"password\" : \"demo123\"\n}\n");
}

TEST_F(ServiceApiTest, SendsEachEndpointItsBodyByteForByte) {
  for (const char* path : {"/primary/contactServer", "/primary/getDueDate", "/primary/changePwd",
                           "/primary/getVpnHost", "/primary/getNotice"}) {
    service_.Reply(path, 200, "{}");
  }
  const std::string gbkName = text::Utf8ToGbk("张三");
  api::ApiMembers members = service_.Members();
  api::ContactServer(members, gbkName, "p\"w\\1", "2");
  api::GetDueDate(members, "demo", "demo123");
  api::ChangePassword(members, "demo", "super123", "new123");
  api::GetVpnHost(members);
  api::GetNotice(members);

  auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[0].body,
            "{\n   \"name\" : \"" + gbkName +
                "\",\n   \"password\" : \"p\\\"w\\\\1\",\n   \"vpn_id\" : \"2\"\n}\n");
  EXPECT_EQ(requests[1].body, "{\n   \"name\" : \"demo\",\n   \"password\" : \"demo123\"\n}\n");
  EXPECT_EQ(requests[2].body,
            "{\n   \"name\" : \"demo\",\n   \"new_password\" : \"new123\",\n"
            "   \"super_key\" : \"super123\"\n}\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(requests[i].method, "POST");
  for (int i = 3; i < 5; ++i) {
    EXPECT_EQ(requests[i].method, "GET");
    EXPECT_EQ(requests[i].body, "");
  }
}

// For ASCII texts the bodies are exactly what jsoncpp's StyledWriter writes; GBK bytes, which
// StyledWriter would turn into "\u" escapes of other characters, stay as they are.
TEST(RequestBodyTest, HasTheStyledWriterLayoutWithGbkBytesUnchanged) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::StyledWriter styled;
#pragma GCC diagnostic pop
  const std::vector<std::pair<std::string, std::string>> objects[] = {
      {},
      {{"name", "demo"}},
      {{"vpn_id", "1"}, {"password", "x"}, {"name", "demo"}, {"Name", "upper"}, {"_", ""}},
      {{"tab\tname", "a\"b\\c\n\x01\x7f/"}},
  };
  for (const auto& members : objects) {
    Json::Value object(Json::objectValue);
    for (const auto& [name, value] : members) object[name] = value;
    std::string body;
    switch (members.size()) {
      case 0:
        body = api::BuildRequestBody({});
        break;
      case 1:
        body = api::BuildRequestBody({{members[0].first, members[0].second}});
        break;
      default:
        body = api::BuildRequestBody({{members[0].first, members[0].second},
                                      {members[1].first, members[1].second},
                                      {members[2].first, members[2].second},
                                      {members[3].first, members[3].second},
                                      {members[4].first, members[4].second}});
    }
    EXPECT_EQ(body, styled.write(object));
  }
  const std::string gbk = text::Utf8ToGbk("张三·ｄ");
  EXPECT_EQ(api::BuildRequestBody({{"name", gbk}}), "{\n   \"name\" : \"" + gbk + "\"\n}\n");
}

// Escapes are made per GBK character: the second byte of a character is never escaped, and a lead
// byte that starts no character cannot join the backslash of a following escape.
TEST(RequestBodyTest, EscapesCharactersNotBytes) {
  const std::string bing = text::Utf8ToGbk("昞");  // 95 5C: its second byte is "\"
  const std::string bar = text::Utf8ToGbk("珅");   // AB 7C: its second byte is "|"
  ASSERT_EQ(bing, "\x95\x5c");
  const struct {
    std::string value;
    std::string written;
  } cases[] = {
      {bing, bing},
      {"a" + bing + "\\" + bar, "a" + bing + "\\\\" + bar},
      {"\x95\"", "?\\\""},               // a lone lead byte before a quote
      {"x\x95", "x?"},                   // a lone lead byte at the end
      {"\x95\n", "?\\n"},                // before a control character
      {"\x80\xff\x7f", "\x80\xff\x7f"},  // bytes that start no double-byte character
  };
  for (const auto& c : cases) {
    EXPECT_EQ(api::BuildRequestBody({{"name", c.value}}),
              "{\n   \"name\" : \"" + c.written + "\"\n}\n");
  }
}

// Answers are parsed as jsoncpp's classic reader does in its default mode, and nothing that an
// answer holds makes the parser throw.
TEST(AnswerTest, ParsesAsTheClassicReaderAndNeverThrows) {
  const struct {
    const char* name;
    std::string answer;
    bool json;
  } cases[] = {
      {"object", "{\"code\":\"200\"}", true},
      {"comment", "// note\n{\"code\":\"200\"}", true},
      {"text after the root", "{\"code\":\"200\"} trailing", true},
      {"a number as the root", "7", true},
      {"trailing comma in an object", "{\"code\":\"200\",}", false},
      {"trailing comma in an array", "[\"200\",]", false},
      {"dropped element", "[1,,2]", false},
      {"single quotes", "{'code':'200'}", false},
      {"byte order mark", "\xef\xbb\xbf{}", false},
      {"4000 nested brackets", std::string(4000, '['), false},
      {"4000 nested objects",
       [] {
         std::string deep;
         for (int i = 0; i < 4000; ++i) deep += "{\"a\":";
         return deep;
       }(),
       false},
      {"nested to the bound",
       std::string(api::kMaxAnswerDepth, '[') + std::string(api::kMaxAnswerDepth, ']'), true},
      {"nested past the bound",
       std::string(api::kMaxAnswerDepth + 1, '[') + std::string(api::kMaxAnswerDepth + 1, ']'),
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Json::Value root(Json::objectValue);
    bool parsed = false;
    EXPECT_NO_THROW(parsed = api::ParseAnswer(c.answer, root));
    EXPECT_EQ(parsed, c.json);
    if (!parsed) {
      EXPECT_TRUE(root.isNull());
    }
  }
}

struct AnswerCase {
  const char* name;
  int status;
  std::string body;  // UTF-8, as the server sends it
  std::string expectedCode;
  std::optional<std::string> expectedDueDate;
  std::string expectedStatus;  // UTF-8 status line of a login
};

TEST_F(ServiceApiTest, ReadsAnswersByTheSharedRules) {
  const std::string serverFault = "错误信息：服务器故障或连接超时！error:404";
  const AnswerCase cases[] = {
      {"accepted", 200, "{\"code\":\"200\",\"duedate\":\"2027-12-10\"}", "200", "2027-12-10", ""},
      {"accepted without duedate", 200, "{\"code\":\"200\"}", "200", std::nullopt, ""},
      {"unknown user", 200, "{\"code\":\"201\"}", "201", std::nullopt,
       "错误信息：用户不存在  错误代码：201"},
      {"expired", 200, "{\"code\":\"202\",\"duedate\":\"2020-01-01\"}", "202", "2020-01-01",
       "错误信息：使用时间已到期 错误代码：202"},
      {"server refused", 200, "{\"code\":\"214\"}", "214", std::nullopt,
       "错误信息：服务器账号错误，请联系客服处理 错误代码：214"},
      {"pretty-printed", 200, "{\n  \"code\": \"200\"\n}\n", "", std::nullopt, serverFault},
      {"code with a blank", 200, "{\"code\":\"200 \"}", "200 ", std::nullopt, serverFault},
      {"code as a number", 200, "{\"code\":200,\"duedate\":20271210}", "", std::nullopt,
       serverFault},
      {"no json", 200, "<html>", "", std::nullopt, serverFault},
      {"an array", 200, "[\"200\"]", "", std::nullopt, serverFault},
      {"comment before", 200, "/* c */ {\"code\":\"201\"}", "201", std::nullopt,
       "错误信息：用户不存在  错误代码：201"},
      {"trailing comma", 200, "{\"code\":\"200\",}", "", std::nullopt, serverFault},
      {"4000 nested brackets", 200, std::string(4000, '['), "", std::nullopt, serverFault},
      {"text after the object", 200, "{\"code\":\"200\"} trailing", "200", std::nullopt, ""},
      {"500 with code 200", 500, "{\"code\":\"200\"}", "", std::nullopt, serverFault},
      {"chinese duedate", 200, "{\"code\":\"200\",\"duedate\":\"年\"}", "200",
       text::Utf8ToGbk("年"), ""},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedService service;
    service.Reply("/primary/contactServer", c.status, c.body);
    service.Reply("/fallback/contactServer", c.status, c.body);
    api::ApiMembers members = service.Members();
    api::DueDateReply reply = api::ContactServer(members, "demo", "demo123", "1");
    EXPECT_EQ(reply.code, c.expectedCode);
    EXPECT_EQ(reply.dueDate, c.expectedDueDate);
    EXPECT_EQ(api::ContactServerStatus(reply), text::Utf8ToGbk(c.expectedStatus));
    EXPECT_EQ(reply.BothFailed(), c.status != 200);
  }
}

// The answer is GBK when it is parsed: a character whose second byte is "\" or '"' must stay a
// character of its text, not become an escape or the end of the string.
TEST(AnswerTest, ReadsTextsCharacterByCharacter) {
  const std::string bing = text::Utf8ToGbk("昞");  // 95 5C
  const struct {
    std::string answer;  // GBK, as the client hands it over
    std::string msg;     // GBK
  } cases[] = {
      {"{\"msg\":\"" + bing + "\"}", bing},
      {"{\"msg\":\"" + bing + "\\\\" + bing + "\\\"\"}", bing + "\\" + bing + "\""},
      {"{\"msg\":\"\\u4e2d\\u6587\"}", text::Utf8ToGbk("中文")},
      {"{\"msg\":\"\\ud83d\\ude00\"}", "?"},  // a character GBK lacks
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Json::Value root;
    ASSERT_TRUE(api::ParseAnswer(c.answer, root));
    EXPECT_EQ(api::MemberText(root, "msg"), c.msg);
  }
}

TEST_F(ServiceApiTest, GivesEachCodeItsMessage) {
  struct Case {
    std::string_view endpoint;
    int status;
    std::string code;
    std::string expected;  // UTF-8
  } cases[] = {
      {api::kRecharge, 200, "200", "充值成功！"},
      {api::kRecharge, 200, "201", "用户名或密码不正确！"},
      {api::kRecharge, 200, "205", "卡号不存在或已被使用！"},
      {api::kRecharge, 200, "203", "充值失败，请稍后重试！"},
      {api::kRecharge, 500, "200", ""},
      {api::kChangePwd, 200, "200", "修改成功！"},
      {api::kChangePwd, 200, "203", "修改密码失败！"},
      {api::kChangePwd, 200, "204", "用户名或超级密码不正确！"},
      {api::kChangePwd, 200, "205", "修改失败，请稍后重试！"},
      {api::kChangePwd, 404, "200", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.endpoint) + " " + c.code);
    ScriptedService service;
    const std::string body = "{\"code\":\"" + c.code + "\"}";
    service.Reply("/primary/" + std::string(c.endpoint), c.status, body);
    service.Reply("/fallback/" + std::string(c.endpoint), c.status, body);
    api::ApiMembers members = service.Members();
    std::string message =
        c.endpoint == api::kRecharge
            ? api::RechargeMessage(api::Recharge(members, "demo", "pw", "card"))
            : api::ChangePasswordMessage(api::ChangePassword(members, "demo", "super", "new"));
    EXPECT_EQ(message, text::Utf8ToGbk(c.expected));
  }
  EXPECT_EQ(api::DueDateExpiredStatus(), text::Utf8ToGbk("提示信息：使用时间已到期 提示代码：202"));
}

TEST_F(ServiceApiTest, ReadsTheServerListAndTheNotice) {
  service_.Reply("/primary/getVpnHost", 200,
                 "[{\"vpnNo\":\"1\",\"vpnAddress\":\"华东-上海\",\"vpnHost\":\"10.0.0.1\"},7,"
                 "{\"vpnNo\":\"2\",\"vpnAddress\":3}]");
  service_.Reply("/primary/getNotice", 200, "{\"msg\":\"欢迎\",\"version\":\"10.7\"}");
  api::ApiMembers members = service_.Members();
  api::ServerListReply list = api::GetVpnHost(members);
  ASSERT_TRUE(list.isList);
  ASSERT_EQ(list.servers.size(), 2u);
  EXPECT_EQ(list.servers[0].vpnNo, "1");
  EXPECT_EQ(list.servers[0].vpnAddress, text::Utf8ToGbk("华东-上海"));
  EXPECT_EQ(list.servers[0].vpnHost, "10.0.0.1");
  EXPECT_EQ(list.servers[1].vpnNo, "2");
  EXPECT_EQ(list.servers[1].vpnAddress, "");
  api::NoticeReply notice = api::GetNotice(members);
  EXPECT_TRUE(notice.parsed);
  EXPECT_EQ(notice.answered, Answered::kPrimary);
  EXPECT_EQ(notice.msg, text::Utf8ToGbk("欢迎"));
  EXPECT_EQ(notice.version, "10.7");

  for (const char* body : {"[]", "{\"vpnNo\":\"1\"}", "not json"}) {
    SCOPED_TRACE(body);
    service_.Reply("/primary/getVpnHost", 200, body);
    list = api::GetVpnHost(members);
    EXPECT_EQ(list.isList, std::string(body) == "[]");
    EXPECT_TRUE(list.servers.empty());
  }
  service_.Reply("/primary/getNotice", 200, "{\"msg\":\"only\"}");
  notice = api::GetNotice(members);
  EXPECT_EQ(notice.version, "");
}

TEST(ApiMembersTest, StartFromTheDeploymentsApiBase) {
  {
    ScopedEnv base("TUNVIK_API_BASE", "https://api.example:9000/api/");
    settings::ReloadDeployment();
    api::ApiMembers members;
    EXPECT_EQ(members.primaryApiBase, "https://api.example:9000/api/");
    EXPECT_EQ(members.fallbackApiBase, "https://api.example:9000/api/");
    EXPECT_EQ(members.requestUrl, "");
    EXPECT_EQ(members.responseText, "");
  }
  settings::ReloadDeployment();
}

}  // namespace
}  // namespace api_test
