#include "hosttools/restart_action.h"

#include <atomic>

namespace hosttools {
namespace {

std::atomic<RestartAction*> g_testAction{nullptr};

}  // namespace

RestartAction& SystemRestartAction() {
  if (RestartAction* action = g_testAction.load()) return *action;
  static LogindRestart logind;
  return logind;
}

void SetSystemRestartActionForTesting(RestartAction* action) {
  g_testAction.store(action);
}

}  // namespace hosttools
