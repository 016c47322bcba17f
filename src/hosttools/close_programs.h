// The offline action that closes the user's list of programs when the connection drops.
#pragma once

#include <string>
#include <string_view>

namespace hosttools {

// Ends, for each entry of `closingProcess` (GBK program paths or file names joined by "|", the
// value of ClosingProcess) in order, every process that the entry's FileNamePart names
// (ProgramNameMatches: its executable, the name it was started under or its kernel name, without
// regard to letter case), together with all its descendants. Each tree is stopped first (SIGSTOP)
// and gathered until no new descendant appears, then killed at once (SIGKILL), so no child escapes
// by forking while it is being collected. The calling process and process 1 are never signalled;
// processes the caller has no right to signal stay as they are. Returns the number of processes
// signalled to end.
int CloseListedPrograms(std::string_view closingProcess);

// Ends every process that `fileName` (file system encoding) names, with all its descendants, as
// above. Returns the number of processes signalled to end.
int EndProcessTrees(std::string_view fileName);

}  // namespace hosttools
