#include "service/api_server.h"

#include <httplib.h>
#include <json/value.h>

#include <functional>
#include <string>
#include <vector>

#include "service/json_io.h"
#include "service/ledger.h"

namespace service {
namespace {

constexpr char kJsonType[] = "application/json; charset=utf-8";

void Answer(httplib::Response& response, int status, const Json::Value& value) {
  response.status = status;
  response.set_content(OneLineJson(value), kJsonType);
}

void AnswerError(httplib::Response& response, int status, const char* message) {
  Json::Value value(Json::objectValue);
  value["code"] = std::to_string(status);
  value["msg"] = message;
  Answer(response, status, value);
}

void AnswerReply(httplib::Response& response, const LedgerReply& reply) {
  Json::Value value(Json::objectValue);
  value["code"] = reply.code;
  if (reply.dueDate) value["duedate"] = *reply.dueDate;
  Answer(response, 200, value);
}

// The text members of a request, in the order asked for; absent members read as empty.
using Fields = std::vector<std::string>;
using PostAction = std::function<LedgerReply(const Fields&)>;

void Post(httplib::Server& server, const std::string& endpoint, std::vector<const char*> names,
          PostAction action) {
  server.Post("/api/" + endpoint,
              [names, action](const httplib::Request& request, httplib::Response& response) {
                Fields fields;
                if (!ReadTextMembers(request.body, names, fields)) {
                  AnswerError(response, 400, "the body must be a JSON object of texts");
                  return;
                }
                AnswerReply(response, action(fields));
              });
  server.Get("/api/" + endpoint, [](const httplib::Request&, httplib::Response& response) {
    AnswerError(response, 405, "use POST");
  });
}

void Get(httplib::Server& server, const std::string& endpoint,
         std::function<Json::Value()> action) {
  server.Get("/api/" + endpoint, [action](const httplib::Request&, httplib::Response& response) {
    Answer(response, 200, action());
  });
  server.Post("/api/" + endpoint, [](const httplib::Request&, httplib::Response& response) {
    AnswerError(response, 405, "use GET");
  });
}

}  // namespace

void InstallApiRoutes(httplib::Server& server, Ledger& ledger) {
  server.set_payload_max_length(kMaxApiBody);

  Post(server, "recharge", {"name", "password", "card_no"},
       [&ledger](const Fields& f) { return ledger.Recharge(f[0], f[1], f[2]); });
  Post(server, "freshikuai", {"name", "password"},
       [&ledger](const Fields& f) { return ledger.FreshIkuai(f[0], f[1]); });
  Post(server, "changePwd", {"name", "super_key", "new_password"},
       [&ledger](const Fields& f) { return ledger.ChangePassword(f[0], f[1], f[2]); });
  Post(server, "contactServer", {"name", "password", "vpn_id"},
       [&ledger](const Fields& f) { return ledger.ContactServer(f[0], f[1], f[2]); });
  Post(server, "getDueDate", {"name", "password"},
       [&ledger](const Fields& f) { return ledger.GetDueDate(f[0], f[1]); });

  Get(server, "getVpnHost", [&ledger] {
    Json::Value list(Json::arrayValue);
    for (const Server& vpn : ledger.Servers()) {
      Json::Value item(Json::objectValue);
      item["vpnNo"] = vpn.vpnNo;
      item["vpnAddress"] = vpn.vpnAddress;
      item["vpnHost"] = vpn.vpnHost;
      list.append(item);
    }
    return list;
  });
  Get(server, "getNotice", [&ledger] {
    Notice notice = ledger.CurrentNotice();
    Json::Value value(Json::objectValue);
    value["msg"] = notice.msg;
    value["version"] = notice.version;
    return value;
  });

  // Every refusal httplib makes itself (unknown path 404, body too large 413, ...) also answers
  // in JSON.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const char* message = response.status == 404   ? "unknown endpoint"
                              : response.status == 413 ? "the body is too large"
                                                       : "request refused";
        AnswerError(response, response.status, message);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        AnswerError(response, 500, "internal error");
      });
}

}  // namespace service
