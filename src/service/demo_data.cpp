#include "service/demo_data.h"

#include <cstdio>

#include "service/dates.h"
#include "service/passwords.h"

namespace service {

std::vector<Account> DemoAccounts(std::chrono::sys_days today) {
  using std::chrono::days;
  const std::string created = NowText();
  return {
      {"demo", HashPassword("demo123"), HashPassword("super123"), FormatDate(today + days(365)),
       created, false},
      {"old", HashPassword("old123"), HashPassword("super123"), FormatDate(today - days(30)),
       created, false},
  };
}

std::vector<Card> DemoCards() {
  std::vector<Card> cards;
  for (int i = 1; i <= 5; ++i) {
    char number[40];
    std::snprintf(number, sizeof number, "TUNVIKDEMOCARD%018d", i);
    cards.push_back({number, 30, "", ""});
  }
  return cards;
}

std::vector<Server> DemoServers() {
  return {
      {"1", "华东-上海", "127.0.0.1"},
      {"2", "华北-北京", "127.0.0.1"},
      {"3", "华南-广州", "127.0.0.1"},
  };
}

Notice DemoNotice() {
  return {"欢迎使用演示服务！演示账号 demo，密码 demo123，可用一年。", "10.6",
          "演示版本 10.6：连接更稳定。"};
}

}  // namespace service
