// The message boxes of a window as the host actions need them, and the 789 repair run with a
// window owning its boxes.
#pragma once

#include "hosttools/command_runner.h"
#include "hosttools/fix789.h"
#include "hosttools/prompts.h"
#include "ui/dialog.h"

namespace hosttools {

// Returns prompts that show their messages and questions in boxes owned by `window` (the
// program's default caption unless one is given) and the application's messages in boxes without
// an owner. `window` must outlive the prompts.
Prompts WindowPrompts(ui::Dialog& window);

// Returns an error report that shows each failure message of the command runner in a box owned by
// `window`, with an OK button. Callable from any thread.
ErrorReport WindowErrorReport(ui::Dialog& window);

// Runs the 789 repair on the user's dialer settings file with `window` owning its boxes, and on
// Yes asks the program's restart action (SystemRestartAction). Returns what happened.
Fix789Outcome Fix789(ui::Dialog& window);

}  // namespace hosttools
