#include "api/service_api.h"

#include "api/http_client.h"
#include "settings/deployment.h"

namespace api {
namespace {

constexpr std::string_view kGet = "GET";
constexpr std::string_view kPost = "POST";

int ExecuteOnce(ApiMembers& members, const std::string& base, std::string_view endpoint,
                std::string_view verb, const std::string* body) {
  members.requestUrl = base;
  members.requestUrl.append(endpoint);
  CHttpClient client;
  return client.Execute(verb, members.requestUrl, body, members.responseText);
}

CodeReply ReadCode(Answered answered, const std::string& answer, Json::Value& root) {
  CodeReply reply;
  reply.answered = answered;
  if (answered != Answered::kNone && ParseAnswer(answer, root)) {
    reply.code = MemberText(root, "code");
  }
  return reply;
}

DueDateReply PostForDueDate(ApiMembers& members, std::string_view endpoint,
                            std::initializer_list<BodyMember> request) {
  const std::string body = BuildRequestBody(request);
  Json::Value root;
  DueDateReply reply;
  static_cast<CodeReply&>(reply) =
      ReadCode(CallWithFallback(members, endpoint, kPost, &body), members.responseText, root);
  if (!reply.BothFailed()) reply.dueDate = OptionalMemberText(root, "duedate");
  return reply;
}

}  // namespace

ApiMembers::ApiMembers() : ApiMembers(settings::CurrentDeployment().apiBase) {}

ApiMembers::ApiMembers(const std::string& apiBase)
    : primaryApiBase(apiBase), fallbackApiBase(apiBase) {}

Answered CallWithFallback(ApiMembers& members, std::string_view endpoint, std::string_view verb,
                          const std::string* body) {
  if (ExecuteOnce(members, members.primaryApiBase, endpoint, verb, body) ==
      CHttpClient::REQ_SUCCESS) {
    return Answered::kPrimary;
  }
  if (ExecuteOnce(members, members.fallbackApiBase, endpoint, verb, body) ==
      CHttpClient::REQ_SUCCESS) {
    return Answered::kFallback;
  }
  return Answered::kNone;
}

std::string AnsweredBase(const ApiMembers& members, Answered answered) {
  switch (answered) {
    case Answered::kPrimary:
      return members.primaryApiBase;
    case Answered::kFallback:
      return members.fallbackApiBase;
    case Answered::kNone:
      break;
  }
  return std::string();
}

bool CodeReply::CodeIs(std::string_view expected) const {
  return !BothFailed() && CodeEquals(code, expected);
}

CodeReply Recharge(ApiMembers& members, std::string_view name, std::string_view password,
                   std::string_view cardNo) {
  const std::string body =
      BuildRequestBody({{"name", name}, {"password", password}, {"card_no", cardNo}});
  Json::Value root;
  return ReadCode(CallWithFallback(members, kRecharge, kPost, &body), members.responseText, root);
}

void SendRechargeFollowUp(ApiMembers& members, std::string_view name, std::string_view password,
                          const std::string& baseAddress) {
  const std::string body = BuildRequestBody({{"name", name}, {"password", password}});
  ExecuteOnce(members, baseAddress, kFreshIkuai, kPost, &body);
}

CodeReply ChangePassword(ApiMembers& members, std::string_view name, std::string_view superKey,
                         std::string_view newPassword) {
  const std::string body =
      BuildRequestBody({{"name", name}, {"super_key", superKey}, {"new_password", newPassword}});
  Json::Value root;
  return ReadCode(CallWithFallback(members, kChangePwd, kPost, &body), members.responseText, root);
}

ServerListReply GetVpnHost(ApiMembers& members) {
  ServerListReply reply;
  reply.answered = CallWithFallback(members, kGetVpnHost, kGet, nullptr);
  Json::Value root;
  if (reply.answered == Answered::kNone || !ParseAnswer(members.responseText, root) ||
      !root.isArray()) {
    return reply;
  }
  reply.isList = true;
  for (const Json::Value& element : root) {
    if (!element.isObject()) continue;
    reply.servers.push_back({MemberText(element, "vpnNo"), MemberText(element, "vpnAddress"),
                             MemberText(element, "vpnHost")});
  }
  return reply;
}

DueDateReply ContactServer(ApiMembers& members, std::string_view name, std::string_view password,
                           std::string_view vpnId) {
  return PostForDueDate(members, kContactServer,
                        {{"name", name}, {"password", password}, {"vpn_id", vpnId}});
}

DueDateReply GetDueDate(ApiMembers& members, std::string_view name, std::string_view password) {
  return PostForDueDate(members, kGetDueDate, {{"name", name}, {"password", password}});
}

NoticeReply GetNotice(ApiMembers& members) {
  NoticeReply reply;
  reply.answered = CallWithFallback(members, kGetNotice, kGet, nullptr);
  Json::Value root;
  if (reply.answered != Answered::kNone && ParseAnswer(members.responseText, root)) {
    reply.parsed = true;
    reply.msg = MemberText(root, "msg");
    reply.version = MemberText(root, "version");
  }
  return reply;
}

}  // namespace api
