#include "hosttools/ss_listing.h"

namespace hosttools {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Splits off the next blank-separated field of `rest`; returns an empty view when none is left.
std::string_view NextField(std::string_view& rest) {
  std::size_t begin = 0;
  while (begin < rest.size() && IsBlank(rest[begin])) ++begin;
  std::size_t end = begin;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  std::string_view field = rest.substr(begin, end - begin);
  rest.remove_prefix(end);
  return field;
}

// Reads the digits at `pos`; returns how many there are.
std::size_t DigitRun(std::string_view s, std::size_t pos) {
  std::size_t n = 0;
  while (pos + n < s.size() && IsDigit(s[pos + n])) ++n;
  return n;
}

// The process field reads users:(("name",pid=123,fd=4),("other",pid=456,fd=5)). ss prints the
// names unescaped, so a name may hold quotes, commas or parentheses; an id is taken only where
// the whole tail of an entry follows it: `",pid=` digits `,fd=` digits `)`.
void AppendPids(std::string_view users, std::vector<std::string>& pids) {
  constexpr std::string_view kPidMark = "\",pid=";
  constexpr std::string_view kFdMark = ",fd=";
  std::size_t pos = 0;
  while ((pos = users.find(kPidMark, pos)) != std::string_view::npos) {
    std::size_t idStart = pos + kPidMark.size();
    std::size_t idLength = DigitRun(users, idStart);
    pos = idStart;
    if (idLength == 0) continue;
    std::size_t fdMark = idStart + idLength;
    if (users.substr(fdMark, kFdMark.size()) != kFdMark) continue;
    std::size_t fdStart = fdMark + kFdMark.size();
    std::size_t fdLength = DigitRun(users, fdStart);
    if (fdLength == 0 || fdStart + fdLength >= users.size() || users[fdStart + fdLength] != ')') {
      continue;
    }
    pids.emplace_back(users.substr(idStart, idLength));
    pos = fdStart + fdLength;
  }
}

void ParseLine(std::string_view line, std::vector<std::string>& pids) {
  std::string_view rest = line;
  std::string_view state = NextField(rest);
  NextField(rest);  // Recv-Q
  NextField(rest);  // Send-Q
  std::string_view local = NextField(rest);
  std::string_view peer = NextField(rest);
  if (state == "LISTEN" || local.empty() || peer.empty()) return;

  // The host part is the text before the first ":" (empty without one). IPv4 gives the address,
  // a bracketed IPv6 address whose first colon follows the bracket gives just "[".
  std::size_t colon = local.find(':');
  std::string_view host =
      colon == std::string_view::npos ? std::string_view() : local.substr(0, colon);
  if (host == "[") return;

  std::size_t users = rest.find("users:((");
  if (users == std::string_view::npos) return;
  AppendPids(rest.substr(users), pids);
}

}  // namespace

bool IsAllDigits(std::string_view text) {
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// The listing is searched byte by byte, not as GBK: ss writes process names in the file
// system's encoding (UTF-8), whose multi-byte characters never contain ASCII bytes, and every
// byte the parser looks for is ASCII.
std::vector<std::string> PidsToLabel(std::string_view listing) {
  std::vector<std::string> pids;
  while (!listing.empty()) {
    std::size_t newline = listing.find('\n');
    std::string_view line = listing.substr(0, newline);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ParseLine(line, pids);
    if (newline == std::string_view::npos) break;
    listing.remove_prefix(newline + 1);
  }
  return pids;
}

}  // namespace hosttools
