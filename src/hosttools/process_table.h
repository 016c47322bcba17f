// Snapshots of the machine's processes, read from /proc.
#pragma once

#include <optional>
#include <string>
#include <string_view>
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
  // The name the program was started under: the last component of the first word of its command
  // line (argv[0]), which for a program started through a link ("python3") is the link's name.
  // Empty where the command line cannot be read or is empty (kernel threads, zombies).
  std::string startName;
  // The kernel's name of the process (/proc/PID/stat, at most 15 bytes).
  std::string kernelName;
};

// True when `name` (file system encoding, usually UTF-8) is one of the names the user knows the
// program by, without regard to letter case, as the original platform compares image names: its
// executable's file name, the name it was started under, or the kernel's process name. An empty
// name matches nothing.
bool ProgramNameMatches(const ProcessEntry& entry, std::string_view name);

// Returns every process of /proc in ascending pid order; a process that ends while the snapshot
// is taken is left out. Returns nothing when /proc cannot be read.
std::optional<std::vector<ProcessEntry>> TakeProcessSnapshot();

// Returns the entry of one process, or nothing when there is no such process.
std::optional<ProcessEntry> ReadProcessEntry(int pid);

}  // namespace hosttools
