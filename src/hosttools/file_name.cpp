#include "hosttools/file_name.h"

#include "text/gbk.h"

namespace hosttools {

std::string FileNamePart(std::string_view path) {
  std::size_t slash = text::FindLastChar(path, '/');
  std::size_t backslash = text::FindLastChar(path, '\\');
  std::size_t last = slash;
  if (last == text::npos || (backslash != text::npos && backslash > last)) last = backslash;
  if (last == text::npos) return std::string(path);
  return std::string(path.substr(last + 1));
}

}  // namespace hosttools
