// The service API: the four API members of every window that calls it, the call with fallback,
// and one function per endpoint that sends the request and reads the answer by its rules.
//
// Every text is GBK. Each function makes its own CHttpClient per attempt, blocks the calling
// thread and writes only the members it is given; two requests must not share one ApiMembers at
// the same time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "api/answer.h"
#include "api/request_body.h"

namespace api {

// Endpoint names, appended to a base address.
inline constexpr std::string_view kRecharge = "recharge";
inline constexpr std::string_view kFreshIkuai = "freshikuai";
inline constexpr std::string_view kChangePwd = "changePwd";
inline constexpr std::string_view kGetVpnHost = "getVpnHost";
inline constexpr std::string_view kContactServer = "contactServer";
inline constexpr std::string_view kGetDueDate = "getDueDate";
inline constexpr std::string_view kGetNotice = "getNotice";

// The API members of a window that talks to the API.
struct ApiMembers {
  std::string primaryApiBase;   // base address of the first attempt
  std::string fallbackApiBase;  // base address of the second attempt
  std::string requestUrl;       // URL of the request in progress
  std::string responseText;     // answer text of the last request

  // Sets both base addresses to the deployment's API base.
  ApiMembers();
  // Sets both base addresses to `apiBase`.
  explicit ApiMembers(const std::string& apiBase);
};

// Which attempt of a call with fallback got status 200.
enum class Answered { kPrimary, kFallback, kNone };

// Sends `verb` with `body` (nullptr: none) to primaryApiBase + endpoint and, when that does not
// return REQ_SUCCESS, once more to fallbackApiBase + endpoint, each with a new client, setting
// requestUrl and responseText. Returns the attempt that succeeded, or kNone when both failed.
Answered CallWithFallback(ApiMembers& members, std::string_view endpoint, std::string_view verb,
                          const std::string* body);

// Returns the base address of the attempt that answered; empty for kNone.
std::string AnsweredBase(const ApiMembers& members, Answered answered);

// The outcome of an endpoint that answers with a `code`.
struct CodeReply {
  Answered answered = Answered::kNone;
  std::string code;  // empty when both attempts failed, or the answer was no JSON or had no text
                     // `code`

  bool BothFailed() const { return answered == Answered::kNone; }
  // True when an attempt succeeded and its code equals `expected` as a whole text.
  bool CodeIs(std::string_view expected) const;
};

// The outcome of contactServer and getDueDate.
struct DueDateReply : CodeReply {
  std::optional<std::string> dueDate;  // nullopt when the answer had no text `duedate`
};

// The outcome of getNotice.
struct NoticeReply {
  Answered answered = Answered::kNone;
  bool parsed = false;  // the answer was JSON
  std::string msg;      // the notice, empty when absent
  std::string version;  // the newest client version, empty when absent
};

// One server of the getVpnHost list.
struct VpnServer {
  std::string vpnNo;       // server number
  std::string vpnAddress;  // region, for display
  std::string vpnHost;     // host name or address to dial
};

// The outcome of getVpnHost.
struct ServerListReply {
  Answered answered = Answered::kNone;
  bool isList = false;  // the answer was a JSON array; false leaves a shown list as it is
  std::vector<VpnServer> servers;  // in display order; elements that are no objects are left out
};

// recharge: name, password and card number, with fallback.
CodeReply Recharge(ApiMembers& members, std::string_view name, std::string_view password,
                   std::string_view cardNo);

// freshikuai: sent once to `baseAddress` (the base whose recharge succeeded) after a successful
// recharge; its outcome is not examined.
void SendRechargeFollowUp(ApiMembers& members, std::string_view name, std::string_view password,
                          const std::string& baseAddress);

// changePwd: name, super password and the new password, with fallback.
CodeReply ChangePassword(ApiMembers& members, std::string_view name, std::string_view superKey,
                         std::string_view newPassword);

// getVpnHost: the server list, with fallback.
ServerListReply GetVpnHost(ApiMembers& members);

// contactServer: the login of an account for server `vpnId`, with fallback.
DueDateReply ContactServer(ApiMembers& members, std::string_view name, std::string_view password,
                           std::string_view vpnId);

// getDueDate: the account's expiry date, with fallback.
DueDateReply GetDueDate(ApiMembers& members, std::string_view name, std::string_view password);

// getNotice: the notice text and the newest version, with fallback.
NoticeReply GetNotice(ApiMembers& members);

}  // namespace api
