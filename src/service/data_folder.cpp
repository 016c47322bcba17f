#include "service/data_folder.h"

#include <json/value.h>
#include <sys/stat.h>

#include <filesystem>

#include "service/dates.h"
#include "service/demo_data.h"
#include "service/json_io.h"

namespace service {
namespace {

constexpr char kAccountsFile[] = "accounts.json";
constexpr char kServersFile[] = "servers.json";
constexpr char kNoticeFile[] = "notice.json";

// Reads a text member; false when it is present but no string.
bool ReadText(const Json::Value& object, const char* name, std::string& value) {
  const Json::Value& member = object[name];
  if (member.isNull()) return true;
  if (!member.isString()) return false;
  value = member.asString();
  return true;
}

Json::Value AccountsJson(const ServiceData& data) {
  Json::Value root(Json::objectValue);
  Json::Value& accounts = root["accounts"] = Json::Value(Json::arrayValue);
  for (const Account& account : data.accounts) {
    Json::Value item(Json::objectValue);
    item["name"] = account.name;
    item["password"] = account.password;
    item["superPassword"] = account.superPassword;
    item["dueDate"] = account.dueDate;
    item["created"] = account.created;
    if (account.disabled) item["disabled"] = true;
    accounts.append(item);
  }
  Json::Value& cards = root["cards"] = Json::Value(Json::arrayValue);
  for (const Card& card : data.cards) {
    Json::Value item(Json::objectValue);
    item["number"] = card.number;
    item["days"] = card.days;
    item["usedBy"] = card.usedBy;
    item["usedAt"] = card.usedAt;
    cards.append(item);
  }
  return root;
}

bool ParseAccounts(const Json::Value& root, ServiceData& data, std::string& error) {
  if (!root.isObject() || !root["accounts"].isArray() || !root["cards"].isArray()) {
    error = "needs an object with the arrays \"accounts\" and \"cards\"";
    return false;
  }
  for (const Json::Value& item : root["accounts"]) {
    Account account;
    if (!item.isObject() || !ReadText(item, "name", account.name) ||
        !ReadText(item, "password", account.password) ||
        !ReadText(item, "superPassword", account.superPassword) ||
        !ReadText(item, "dueDate", account.dueDate) ||
        !ReadText(item, "created", account.created) ||
        !(item["disabled"].isNull() || item["disabled"].isBool()) || account.name.empty() ||
        !ParseDate(account.dueDate)) {
      error = "an account needs the texts name, password, superPassword and dueDate (YYYY-MM-DD)";
      return false;
    }
    account.disabled = item["disabled"].asBool();
    data.accounts.push_back(std::move(account));
  }
  for (const Json::Value& item : root["cards"]) {
    Card card;
    if (!item.isObject() || !ReadText(item, "number", card.number) ||
        !ReadText(item, "usedBy", card.usedBy) || !ReadText(item, "usedAt", card.usedAt) ||
        !item["days"].isInt() || item["days"].asInt() <= 0 || card.number.empty()) {
      error = "a card needs the text number and a positive whole number of days";
      return false;
    }
    card.days = item["days"].asInt();
    data.cards.push_back(std::move(card));
  }
  return true;
}

Json::Value ServersJson(const std::vector<Server>& servers) {
  Json::Value root(Json::arrayValue);
  for (const Server& server : servers) {
    Json::Value item(Json::objectValue);
    item["vpnNo"] = server.vpnNo;
    item["vpnAddress"] = server.vpnAddress;
    item["vpnHost"] = server.vpnHost;
    root.append(item);
  }
  return root;
}

bool ParseServers(const Json::Value& root, ServiceData& data, std::string& error) {
  if (!root.isArray()) {
    error = "needs an array of servers";
    return false;
  }
  for (const Json::Value& item : root) {
    Server server;
    if (!item.isObject() || !ReadText(item, "vpnNo", server.vpnNo) ||
        !ReadText(item, "vpnAddress", server.vpnAddress) ||
        !ReadText(item, "vpnHost", server.vpnHost) || server.vpnNo.empty()) {
      error = "a server needs the texts vpnNo, vpnAddress and vpnHost";
      return false;
    }
    data.servers.push_back(std::move(server));
  }
  return true;
}

Json::Value NoticeJson(const Notice& notice) {
  Json::Value root(Json::objectValue);
  root["msg"] = notice.msg;
  root["version"] = notice.version;
  root["content"] = notice.content;
  return root;
}

bool ParseNotice(const Json::Value& root, ServiceData& data, std::string& error) {
  if (!root.isObject() || !ReadText(root, "msg", data.notice.msg) ||
      !ReadText(root, "version", data.notice.version) ||
      !ReadText(root, "content", data.notice.content)) {
    error = "needs an object with the texts msg, version and content";
    return false;
  }
  return true;
}

bool MakeFolder(const std::string& path, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return true;
  if (::mkdir(path.c_str(), 0700) == 0 || std::filesystem::is_directory(path, ec)) return true;
  error = "cannot make the folder " + path;
  return false;
}

}  // namespace

DataFolder::DataFolder(std::string path) : path_(std::move(path)) {
  while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
}

bool DataFolder::Load(ServiceData& data, std::vector<std::string>& created, std::string& error) {
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(path_).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  if (!MakeFolder(path_, error) || !MakeFolder(UpdatesPath(), error)) return false;
  data = ServiceData();

  struct File {
    const char* name;
    Json::Value (*demo)();
    bool (*parse)(const Json::Value&, ServiceData&, std::string&);
  };
  const File files[] = {
      {kAccountsFile,
       [] {
         ServiceData demo;
         demo.accounts = DemoAccounts(Today());
         demo.cards = DemoCards();
         return AccountsJson(demo);
       },
       ParseAccounts},
      {kServersFile, [] { return ServersJson(DemoServers()); }, ParseServers},
      {kNoticeFile, [] { return NoticeJson(DemoNotice()); }, ParseNotice},
  };
  for (const File& file : files) {
    const std::string filePath = path_ + "/" + file.name;
    Json::Value root;
    if (!std::filesystem::exists(filePath, ec)) {
      root = file.demo();
      if (!WriteJsonFile(filePath, root)) {
        error = "cannot write " + filePath;
        return false;
      }
      created.push_back(file.name);
    } else if (!ReadJsonFile(filePath, root, error)) {
      return false;
    }
    std::string why;
    if (!file.parse(root, data, why)) {
      error = filePath + ": " + why;
      return false;
    }
  }
  return true;
}

bool DataFolder::SaveAccounts(const ServiceData& data) const {
  return WriteJsonFile(path_ + "/" + kAccountsFile, AccountsJson(data));
}

}  // namespace service
