#include "service/update_server.h"

#include <httplib.h>

#include <filesystem>

#include "service/ledger.h"
#include "settings/atomic_file.h"
#include "text/gbk.h"

namespace service {
namespace {

constexpr char kVersionPrefix[] = "xolversion";
constexpr char kVersionSuffix[] = ".ini";

// True for a plain file name: no folder part, no hidden or relative name.
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
         name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

// The host and port the client used to reach this server, as it named them.
std::string ServerAddress(const httplib::Request& request) {
  std::string host = request.get_header_value("Host");
  bool plain = !host.empty();
  for (char c : host) {
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    if (!allowed) plain = false;
  }
  if (plain) return host;
  return request.local_addr + ":" + std::to_string(request.local_port);
}

// A value of the description must stay on its line.
std::string OneLine(std::string value) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return value;
}

void VersionFile(Ledger& ledger, const httplib::Request& request, httplib::Response& response) {
  Notice notice = ledger.CurrentNotice();
  std::string ini = "[MAINVER]\r\n";
  ini += "mainver=" + OneLine(notice.version) + "\r\n";
  ini += "content=" + OneLine(notice.content) + "\r\n";
  ini += "newverurl=http://" + ServerAddress(request) + "/xol/" +
         ProgramFileName(OneLine(notice.version)) + "\r\n";
  // The client reads its INI files in GBK.
  response.set_content(text::Utf8ToGbk(ini), "text/plain; charset=GBK");
}

void ProgramFile(const std::string& updatesPath, const std::string& name,
                 httplib::Response& response) {
  std::error_code ec;
  const std::string path = updatesPath + "/" + name;
  std::string contents;
  if (!IsPlainFileName(name) || !std::filesystem::is_regular_file(path, ec) ||
      settings::ReadTextFile(path, contents) != settings::ReadStatus::kOk) {
    response.status = 404;
    response.set_content("not found\n", "text/plain");
    return;
  }
  response.set_content(std::move(contents),
                       name.ends_with(".sig") ? "text/plain" : "application/octet-stream");
}

}  // namespace

std::string ProgramFileName(const std::string& version) {
  return "Quoril_" + version;
}

void InstallUpdateRoutes(httplib::Server& server, Ledger& ledger, const std::string& updatesPath) {
  server.Get(R"(/xol/([^/]+))",
             [&ledger, updatesPath](const httplib::Request& request, httplib::Response& response) {
               const std::string name = request.matches[1];
               if (name.starts_with(kVersionPrefix) && name.ends_with(kVersionSuffix) &&
                   name.size() > sizeof kVersionPrefix - 1 + sizeof kVersionSuffix - 1) {
                 VersionFile(ledger, request, response);
               } else {
                 ProgramFile(updatesPath, name, response);
               }
             });
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        response.set_content("not found\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
      }));
}

}  // namespace service
