// The listing of TCP connections with their processes (`ss -Htnp`), as the process list reads
// it: every process id it yields is a decimal number taken from a ",pid=" entry of the listing.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "hosttools/ss_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view listing(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> pids = hosttools::PidsToLabel(listing);
  std::size_t entries = 0;
  for (std::size_t at = listing.find("\",pid="); at != std::string_view::npos;
       at = listing.find("\",pid=", at + 1)) {
    ++entries;
  }
  FUZZ_CHECK(pids.size() <= entries);
  for (const std::string& pid : pids) {
    FUZZ_CHECK(!pid.empty() && hosttools::IsAllDigits(pid));
    FUZZ_CHECK(listing.find(",pid=" + pid + ",fd=") != std::string_view::npos);
  }
  return 0;
}
