// The record the connect workflow hands to the dial thread: entry, server, credentials, the
// connection's stop event and the protocol. Each text field has the capacity of the platform's
// limit (terminating zero included); a request whose field does not fit is refused, never cut.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "vpn/event.h"

namespace vpn {

struct DialRequest {
  static constexpr std::size_t kEntryNameCapacity = 257;
  static constexpr std::size_t kPhoneNumberCapacity = 129;
  static constexpr std::size_t kUserNameCapacity = 257;
  static constexpr std::size_t kPasswordCapacity = 257;
  static constexpr std::size_t kDomainCapacity = 16;
  static constexpr std::size_t kProtocolCapacity = 16;

  std::string entryName;
  std::string phoneNumber;
  std::string userName;
  std::string password;
  std::string domain;
  EventPtr stopEvent;
  std::string protocol;  // "1" PPTP, anything else L2TP
};

// Returns the status text (GBK) that refuses a request with a field too long for its
// capacity, or nullopt when every field fits.
std::optional<std::string> RefusalOfOversizedFields(const DialRequest& request);

}  // namespace vpn
