#include "hosttools/connection_inventory.h"

#include <unistd.h>

#include "hosttools/file_name.h"
#include "hosttools/process_labels.h"
#include "hosttools/process_table.h"
#include "hosttools/ss_listing.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "text/gbk.h"

namespace hosttools {

void RecordStartupPids(PidSet& pids) {
  if (std::optional<std::vector<ProcessEntry>> snapshot = TakeProcessSnapshot()) {
    for (const ProcessEntry& entry : *snapshot) pids.insert(std::to_string(entry.pid));
  }
}

void ScanConnections(const std::string& scratchPath, const ErrorReport& report) {
  // Labels live for one run only; a missing file is the usual case and needs no report.
  if (!scratchPath.empty()) ::unlink(scratchPath.c_str());
  std::string listing = RunCommand(ConnectionListingCommand(), report);
  for (const std::string& pid : PidsToLabel(listing)) {
    if (IsAllDigits(pid)) AssignProcessLabel(pid, scratchPath);
  }
}

std::optional<std::vector<ProcessRow>> RefreshProcessList(const std::string& filter,
                                                          const PidSet& startupPids,
                                                          const std::string& scratchPath) {
  std::optional<std::vector<ProcessEntry>> snapshot = TakeProcessSnapshot();
  if (!snapshot) return std::nullopt;

  // Process names are in the file system's encoding (UTF-8); the list and the filter are GBK.
  const std::string filterName = text::GbkToUtf8(FileNamePart(filter));
  std::vector<ProcessRow> rows;
  for (const ProcessEntry& entry : *snapshot) {
    if (!filterName.empty() && !ProgramNameMatches(entry, filterName)) continue;
    std::string name = text::Utf8ToGbk(entry.fileName);

    ProcessRow row;
    row.pid = std::to_string(entry.pid);
    row.name = std::move(name);
    row.label = scratchPath.empty() ? std::string()
                                    : settings::GetProfileString(kScratchSection, row.pid, "",
                                                                 kLabelLimit, scratchPath);
    if (row.label.empty()) {
      if (startupPids.count(row.pid) != 0) {
        row.label = kNoLabel;
      } else {
        AssignProcessLabel(row.pid, scratchPath);
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

bool SaveProcessFilter(const std::string& filter, const std::string& settingsPath) {
  return settings::WriteProfileString(settings::kHardwareConfig, settings::kProcessIP, filter,
                                      settingsPath);
}

}  // namespace hosttools
