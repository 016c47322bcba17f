// Reading the system's listing of TCP connections with their processes (`ss -Htanp`).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hosttools {

// The command that lists the TCP sockets of every state with their processes, without a header
// line and with numeric addresses.
inline const std::vector<std::string>& ConnectionListingCommand() {
  static const std::vector<std::string> kCommand = {"ss", "-Htanp"};
  return kCommand;
}

// Returns true when every byte of `text` is an ASCII decimal digit (also for an empty text).
bool IsAllDigits(std::string_view text);

// Returns, in the order of the listing, the decimal process ids of every process that holds a
// connection in any state but listening (as netstat -no lists them: established, closing,
// waiting, ...) whose local address is to be labelled: IPv4 addresses and
// bracketed IPv6 addresses whose host part before the first ":" is not just "[" (so "[::1]",
// "[::]" and "[::ffff:127.0.0.1]" are passed over, "[2001:db8::1]" is not). A connection shared
// by several processes yields each of them; a process on several lines appears once per line.
// Listening sockets, lines without a process field and malformed lines yield nothing.
std::vector<std::string> PidsToLabel(std::string_view listing);

}  // namespace hosttools
