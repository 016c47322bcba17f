// The command runner: runs one of the system's command-line tools with an argument vector (never
// through a shell) and returns everything it wrote to standard output and standard error.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hosttools {

// The runner's two failure messages; the window that owns the runner shows them in a message box.
inline constexpr std::string_view kCreatePipeError = "Error on CreatePipe()!";
inline constexpr std::string_view kCreateProcessError = "Error on CreateProcess()!";

// Receives a failure message (a GBK text) of the runner or of a host action.
using ErrorReport = std::function<void(std::string_view message)>;

// Runs argv[0] with the arguments argv[1..]; a bare name (no "/") is looked up on PATH. Standard
// input is /dev/null, standard output and standard error share one pipe. Blocks until the output
// has ended, reaps the child and returns every byte it wrote, in order. When the pipe or the
// process cannot be made (a program that does not exist included), `report` receives
// kCreatePipeError or kCreateProcessError once and the result is empty. When `exitStatus` is given
// it receives the child's exit code, 128 + the signal number when a signal ended it, or -1 when
// no child ran.
std::string RunCommand(const std::vector<std::string>& argv, const ErrorReport& report,
                       int* exitStatus = nullptr);

// Returns the full path of the executable file `name` found in the folders of PATH (empty entries,
// which would mean the current folder, are passed over), or an empty text when there is none.
std::string FindOnPath(std::string_view name);

}  // namespace hosttools
