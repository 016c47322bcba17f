// The hand-over between program files: starting the new program, and deleting the previous one
// once the new one runs.
#pragma once

#include <string>

namespace update {

// Starts the program file at `path` (a full path) with no arguments, in the environment of this
// process, with the signals it may have ignored set back to their defaults and no descriptor but
// standard input, output and error inherited. Nothing waits for it. Returns false with `error`
// set when it could not be started (missing, not runnable, not a program).
bool StartProgram(const std::string& path, std::string& error);

// Deletes the previous program file at `path`. Returns false, deleting nothing, when `path` is
// empty, missing, cannot be deleted, or is the running program's own file.
bool DeletePreviousProgram(const std::string& path);

}  // namespace update
