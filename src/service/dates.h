// Calendar dates of the stand-in service: expiry dates are local dates written "YYYY-MM-DD".
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace service {

// Returns today's local date.
std::chrono::sys_days Today();

// Returns `day` as "YYYY-MM-DD".
std::string FormatDate(std::chrono::sys_days day);

// Returns the date of a "YYYY-MM-DD" text, or nullopt when the text is no valid date.
std::optional<std::chrono::sys_days> ParseDate(std::string_view text);

// Returns the local time now as "YYYY-MM-DD HH:MM:SS", for logs and records.
std::string NowText();

}  // namespace service
