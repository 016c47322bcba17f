// The last line of defence of every thread the client starts: an error that nobody expected
// ends the piece of work it broke, with one line on standard error, and never the program.
#pragma once

#include <functional>

namespace base {

// Runs `work`. An exception that leaves it goes no further: it is reported on standard error as
// "tunvik: <what> ended early: <reason>". Returns false when that happened.
bool RunGuarded(const char* what, const std::function<void()>& work) noexcept;

}  // namespace base
