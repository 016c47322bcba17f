#include "hosttools/shares.h"

namespace hosttools {

void DeleteShares(const ErrorReport& report) {
  DeleteShares(FindOnPath("net"), report);
}

void DeleteShares(const std::string& netProgram, const ErrorReport& report) {
  if (netProgram.empty()) return;
  for (std::string_view share : kSharesToDelete) {
    RunCommand({netProgram, "usershare", "delete", std::string(share)}, report);
  }
}

}  // namespace hosttools
