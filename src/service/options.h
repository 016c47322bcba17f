// The command line of tunvik-service.
#pragma once

#include <string>

namespace service {

struct ServiceOptions {
  std::string host = "127.0.0.1";
  int apiPort = 9000;  // 0: any free port, printed at start
  int webPort = 9080;
  int updatePort = 8098;
  std::string dataDir;      // empty: DefaultDataDir()
  int requestSeconds = 10;  // time a connection has to send its request
  bool help = false;
};

// Reads --api-port N, --web-port N, --update-port N, --data DIR, --host H, --request-time S and
// --help (each value also as --name=value). Returns false with `error` set for an unknown option,
// a missing value, a port outside 0 to 65535 or a request time outside 1 to 3600 seconds.
bool ParseOptions(int argc, char** argv, ServiceOptions& options, std::string& error);

// Returns $XDG_DATA_HOME/tunvik-service, or ~/.local/share/tunvik-service.
std::string DefaultDataDir();

// Returns the --help text.
std::string UsageText();

}  // namespace service
