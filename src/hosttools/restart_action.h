// Restarting the machine after the 789 repair: an interface, so that tests inject a fake, and
// the real implementation through logind.
#pragma once

#include <string>

namespace hosttools {

enum class RestartResult {
  kRestarting,  // the restart has been started
  kCannotAsk,   // the right to restart could not be inquired (no login manager to ask)
  kRefused,     // the user has no right to restart, or the restart was refused
};

// Restarts the machine.
class RestartAction {
 public:
  virtual ~RestartAction() = default;
  // Asks for the restart; returns kRestarting when it has been started.
  virtual RestartResult Restart() = 0;
};

// Restarts through logind: first asks its CanReboot (through `busctl`) whether this user may
// restart, then runs `systemctl reboot`, which logind carries out or refuses. Both commands run
// through RunCommand without failure messages; their failures become the result. The tool paths
// are parameters so that tests can put stand-ins in their place.
class LogindRestart : public RestartAction {
 public:
  explicit LogindRestart(std::string busctl = "busctl", std::string systemctl = "systemctl");

  // Returns kCannotAsk when logind cannot be asked, kRefused when its answer is neither "yes"
  // nor "challenge" (a right the user may gain by authenticating) or when systemctl fails.
  RestartResult Restart() override;

 private:
  std::string busctl_;
  std::string systemctl_;
};

// Returns the restart action that the windows use: a LogindRestart, unless a test has put
// another in its place.
RestartAction& SystemRestartAction();

// Puts `action` (not owned; it must outlive its use) in place of the program's restart action,
// so that no test can restart the machine; null restores the logind one.
void SetSystemRestartActionForTesting(RestartAction* action);

}  // namespace hosttools
