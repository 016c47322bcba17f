#include "service/options.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace service {
namespace {

// Reads a decimal number from `low` to `high` into `number`.
bool ReadNumber(std::string_view text, int low, int high, int& number) {
  int value = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return false;
  }
  number = value;
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, ServiceOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    std::string_view name = arg;
    std::string_view value;
    bool hasValue = false;
    if (std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    const bool known = name == "--api-port" || name == "--web-port" || name == "--update-port" ||
                       name == "--data" || name == "--host" || name == "--request-time";
    if (!known) {
      error = "unknown option " + std::string(arg);
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (name == "--data" || name == "--host") {
      if (value.empty()) {
        error = std::string(name) + " needs a value";
        return false;
      }
      (name == "--data" ? options.dataDir : options.host) = std::string(value);
      continue;
    }
    if (name == "--request-time") {
      if (!ReadNumber(value, 1, 3600, options.requestSeconds)) {
        error =
            "--request-time needs a number of seconds from 1 to 3600, not " + std::string(value);
        return false;
      }
      continue;
    }
    int& port = name == "--api-port"   ? options.apiPort
                : name == "--web-port" ? options.webPort
                                       : options.updatePort;
    if (!ReadNumber(value, 0, 65535, port)) {
      error = std::string(name) + " needs a port number from 0 to 65535, not " + std::string(value);
      return false;
    }
  }
  return true;
}

std::string DefaultDataDir() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    return std::string(xdg) + "/tunvik-service";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : ".") +
         "/.local/share/tunvik-service";
}

std::string UsageText() {
  return "Usage: tunvik-service [options]\n"
         "\n"
         "The stand-in service for the Tunvik client: the HTTPS API, the registration page and\n"
         "the update server, with the accounts, cards, servers and notice of its data folder.\n"
         "\n"
         "  --api-port N      HTTPS API port (default 9000; 0 picks a free port)\n"
         "  --web-port N      registration page port, plain HTTP (default 9080)\n"
         "  --update-port N   update server port, plain HTTP (default 8098)\n"
         "  --host H          address to listen on (default 127.0.0.1)\n"
         "  --data DIR        data folder, made with demo content when empty\n"
         "                    (default $XDG_DATA_HOME/tunvik-service)\n"
         "  --request-time S  seconds a client has to send its request (default 10)\n"
         "  --help            this text\n"
         "\n"
         "Demo accounts: demo / demo123 (super password super123), old / old123 (expired).\n"
         "Stop it with Ctrl+C.\n";
}

}  // namespace service
