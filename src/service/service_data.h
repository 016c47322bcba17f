// What the stand-in service knows: accounts, prepaid cards, VPN servers and the notice with the
// newest client version.
#pragma once

#include <string>
#include <vector>

namespace service {

struct Account {
  std::string name;
  std::string password;       // stored form (see passwords.h)
  std::string superPassword;  // stored form
  std::string dueDate;        // "YYYY-MM-DD": the last day the account may connect
  std::string created;        // "YYYY-MM-DD HH:MM:SS"
  bool disabled = false;      // refused at login with code 214
};

struct Card {
  std::string number;  // 32 characters
  int days = 30;       // days a recharge adds
  std::string usedBy;  // empty while unused
  std::string usedAt;
};

struct Server {
  std::string vpnNo;
  std::string vpnAddress;  // region, UTF-8
  std::string vpnHost;
};

struct Notice {
  std::string msg;      // notice text, UTF-8
  std::string version;  // newest client version, such as "10.6"
  std::string content;  // one line describing the newest version, for the update dialog
};

struct ServiceData {
  std::vector<Account> accounts;
  std::vector<Card> cards;
  std::vector<Server> servers;
  Notice notice;
};

}  // namespace service
