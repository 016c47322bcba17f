// Snapshots of the machine's processes, read from /proc.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hosttools {

// One process of a snapshot.
struct ProcessEntry {
  int pid = 0;
  int parentPid = 0;
  // Start time in clock ticks after boot: together with the pid it names one process, even when
  // the pid is later reused.
  unsigned long long startTime = 0;
  // The executable's file name, in the file system's encoding: the last component of the
  // /proc/PID/exe link (without the " (deleted)" mark of a replaced file) where the link can be
  // read, otherwise the kernel's command name from /proc/PID/stat (at most 15 bytes; kernel
  // threads, zombies and, for a user without the right, other users' processes).
  std::string fileName;
};

// Returns every process of /proc in ascending pid order; a process that ends while the snapshot
// is taken is left out. Returns nothing when /proc cannot be read.
std::optional<std::vector<ProcessEntry>> TakeProcessSnapshot();

// Returns the entry of one process, or nothing when there is no such process.
std::optional<ProcessEntry> ReadProcessEntry(int pid);

}  // namespace hosttools
