// The file name part of a program path, as the process filter and the close list use it.
#pragma once

#include <string>
#include <string_view>

namespace hosttools {

// Returns the part of a GBK path after its last "/" or "\" (the whole text when it holds
// neither, an empty text for an empty path), so Linux paths and Windows-style paths both give
// their last component. The separators are searched character by character, so the second byte
// of a double-byte character is never taken for one.
std::string FileNamePart(std::string_view path);

}  // namespace hosttools
