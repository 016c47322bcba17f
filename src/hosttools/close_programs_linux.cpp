#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <map>
#include <unordered_map>
#include <vector>

#include "hosttools/close_programs.h"
#include "hosttools/file_name.h"
#include "hosttools/process_table.h"
#include "settings/profile.h"
#include "text/gbk.h"

namespace hosttools {
namespace {

// Called through syscall(): glibc 2.36's <sys/pidfd.h> lacks the C linkage markers for C++.
int PidfdOpen(int pid) {
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0u));
}

int PidfdSignal(int pidfd, int signal) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0u));
}

// A process pinned by a pidfd, so a signal can never reach a later process that reuses its id.
struct HeldProcess {
  int pidfd = -1;
  unsigned long long startTime = 0;
};

// Rounds of gathering before the tree is killed as it is. A stopped process cannot fork, so a
// tree is complete after a round or two; the cap only bounds processes that could not be stopped.
constexpr int kMaxGatherRounds = 32;

bool MayBeSignalled(int pid) {
  return pid > 1 && pid != ::getpid();
}

// Pins `entry` with a pidfd and stops it. Returns false when the process is gone or its id was
// reused since the snapshot (then nothing is held).
bool HoldAndStop(const ProcessEntry& entry, std::map<int, HeldProcess>& held) {
  int fd = PidfdOpen(entry.pid);
  if (fd < 0) return false;
  // The pidfd names whatever process has the id now; it is ours if it started when the snapshot's
  // process did.
  std::optional<ProcessEntry> now = ReadProcessEntry(entry.pid);
  if (!now || now->startTime != entry.startTime) {
    ::close(fd);
    return false;
  }
  PidfdSignal(fd, SIGSTOP);
  held[entry.pid] = HeldProcess{fd, entry.startTime};
  return true;
}

// Adds to `held` every process of the snapshot that carries `fileName` or descends from a held
// or matching process. Returns true when a process was added.
bool GatherRound(std::string_view fileName, std::map<int, HeldProcess>& held) {
  std::optional<std::vector<ProcessEntry>> snapshot = TakeProcessSnapshot();
  if (!snapshot) return false;

  std::unordered_map<int, std::vector<const ProcessEntry*>> children;
  std::vector<const ProcessEntry*> pending;
  for (const ProcessEntry& entry : *snapshot) {
    children[entry.parentPid].push_back(&entry);
    auto heldEntry = held.find(entry.pid);
    bool isHeld = heldEntry != held.end() && heldEntry->second.startTime == entry.startTime;
    if (isHeld || ProgramNameMatches(entry, fileName)) pending.push_back(&entry);
  }

  bool added = false;
  std::map<int, bool> visited;
  while (!pending.empty()) {
    const ProcessEntry* entry = pending.back();
    pending.pop_back();
    if (visited[entry->pid]) continue;
    visited[entry->pid] = true;
    // The caller is never signalled, but its descendants are still part of the tree.
    if (MayBeSignalled(entry->pid) && held.count(entry->pid) == 0) {
      added = HoldAndStop(*entry, held) || added;
    }
    auto kids = children.find(entry->pid);
    if (kids == children.end()) continue;
    for (const ProcessEntry* child : kids->second) pending.push_back(child);
  }
  return added;
}

}  // namespace

int EndProcessTrees(std::string_view fileName) {
  if (fileName.empty()) return 0;
  std::map<int, HeldProcess> held;
  for (int round = 0; round < kMaxGatherRounds && GatherRound(fileName, held); ++round) {
  }
  int ended = 0;
  for (auto& [pid, process] : held) {
    if (PidfdSignal(process.pidfd, SIGKILL) == 0) ++ended;
    ::close(process.pidfd);
  }
  return ended;
}

int CloseListedPrograms(std::string_view closingProcess) {
  std::vector<std::string> entries;
  settings::SplitList(closingProcess, '|', entries);
  int ended = 0;
  for (const std::string& entry : entries) {
    // The list is GBK; executable names are compared in the file system's encoding (UTF-8).
    ended += EndProcessTrees(text::GbkToUtf8(FileNamePart(entry)));
  }
  return ended;
}

}  // namespace hosttools
