// The server list page: the service's servers in a table, the offline strategy and the protocol.
#pragma once

#include <string>

#include "ui/dialog.h"

class CPara1 : public ui::Dialog {
 public:
  CPara1();

  // The chosen server, as page 1 holds it.
  std::string GetServerNo() const { return serverNo; }
  std::string GetServerHost() const { return serverHost; }

  std::string serverNo;
  std::string serverHost;
  int offlineStrategy = 0;
  int vpnStrategy = 0;
};
