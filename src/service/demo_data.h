// The demo content of a new data folder.
#pragma once

#include <chrono>
#include <vector>

#include "service/service_data.h"

namespace service {

// Returns the demo accounts: "demo" (password "demo123", super password "super123"), valid for a
// year from `today`, and "old" (password "old123", super password "super123"), expired.
std::vector<Account> DemoAccounts(std::chrono::sys_days today);

// Returns five unused cards TUNVIKDEMOCARD000000000000000001 to ...005, 30 days each.
std::vector<Card> DemoCards();

// Returns three servers numbered "1" to "3" with Chinese region names, all on 127.0.0.1.
std::vector<Server> DemoServers();

// Returns a Chinese notice and the newest version "10.6".
Notice DemoNotice();

}  // namespace service
