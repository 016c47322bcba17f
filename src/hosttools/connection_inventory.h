// The process list of the main window: the processes present at start, the start-up scan of
// their connections, and the rows of each refresh with their address labels.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "hosttools/command_runner.h"

namespace hosttools {

// The label shown for a process that was present at start and got no label then.
inline constexpr std::string_view kNoLabel = "NOCAN";

// One row of the process list; every text is GBK.
struct ProcessRow {
  std::string pid;    // decimal process id
  std::string name;   // the executable's file name
  std::string label;  // the address label, kNoLabel, or empty for a process just met
};

// The decimal ids of the processes present at start.
using PidSet = std::unordered_set<std::string>;

// Adds the decimal id of every process present now to `pids`; adds nothing when /proc cannot be
// read.
void RecordStartupPids(PidSet& pids);

// Deletes the scratch file at `scratchPath`, lists the TCP connections with `ss -Htanp` through
// RunCommand (whose failure messages go to `report`) and gives a new label to every process that
// holds a connection (any state but listening) with an IPv4 local address (see PidsToLabel). A user
// without the right sees only the processes of their own in the listing.
void ScanConnections(const std::string& scratchPath, const ErrorReport& report);

// Returns the rows of the process list in ascending pid order. `filter` (GBK) is the process
// filter: when its file name part is not empty, only the processes it names (ProgramNameMatches:
// executable, start name or kernel name, without regard to letter case) are listed. A process with
// a stored label shows it; one without a label shows kNoLabel when its id is in `startupPids`,
// otherwise it gets a new label, stored for the next refresh, and shows nothing yet. Returns
// nothing when no snapshot of the processes can be taken; the list then keeps its rows.
std::optional<std::vector<ProcessRow>> RefreshProcessList(const std::string& filter,
                                                          const PidSet& startupPids,
                                                          const std::string& scratchPath);

// Stores the process filter (GBK) as ProcessIP of HardwareConfig in the settings file at
// `settingsPath`. Returns false when the file could not be written.
bool SaveProcessFilter(const std::string& filter, const std::string& settingsPath);

}  // namespace hosttools
