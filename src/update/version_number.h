// Version texts read as numbers, the way the version checks compare them.
#pragma once

#include <string_view>

namespace update {

// Reads the leading decimal number of `text` (blanks first are skipped; digits with an optional
// fraction; the reading stops at the first character that does not fit), independent of the
// locale. A text that does not begin with a number reads as 0. "10.10" reads as 10.1.
double VersionNumber(std::string_view text);

}  // namespace update
