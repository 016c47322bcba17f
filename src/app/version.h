// The program's version: the running version for the title, the autostart entry's name and the
// version check.
#pragma once

#include <string_view>

#define TUNVIK_VERSION_TEXT "10.6"

inline constexpr std::string_view kVersionText = TUNVIK_VERSION_TEXT;
