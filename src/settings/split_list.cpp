#include "settings/profile.h"
#include "text/gbk.h"

namespace settings {

void SplitList(std::string_view text, char separator, std::vector<std::string>& items) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t found = text::FindChar(text, separator, start);
    if (found == text::npos) {
      items.emplace_back(text.substr(start));
      return;
    }
    items.emplace_back(text.substr(start, found - start));
    start = found + 1;
  }
}

}  // namespace settings
