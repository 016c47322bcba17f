#include <utility>

#include "hosttools/command_runner.h"
#include "hosttools/restart_action.h"

namespace hosttools {
namespace {

// busctl prints a string reply as: s "yes"
std::string QuotedAnswer(const std::string& reply) {
  std::size_t open = reply.find('"');
  if (open == std::string::npos) return {};
  std::size_t close = reply.find('"', open + 1);
  if (close == std::string::npos) return {};
  return reply.substr(open + 1, close - open - 1);
}

}  // namespace

LogindRestart::LogindRestart(std::string busctl, std::string systemctl)
    : busctl_(std::move(busctl)), systemctl_(std::move(systemctl)) {}

RestartResult LogindRestart::Restart() {
  const ErrorReport quiet;
  int status = -1;
  std::string reply =
      RunCommand({busctl_, "call", "org.freedesktop.login1", "/org/freedesktop/login1",
                  "org.freedesktop.login1.Manager", "CanReboot"},
                 quiet, &status);
  if (status != 0) return RestartResult::kCannotAsk;
  std::string answer = QuotedAnswer(reply);
  if (answer != "yes" && answer != "challenge") return RestartResult::kRefused;

  RunCommand({systemctl_, "reboot"}, quiet, &status);
  return status == 0 ? RestartResult::kRestarting : RestartResult::kRefused;
}

}  // namespace hosttools
