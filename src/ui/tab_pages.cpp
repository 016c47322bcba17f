#include "ui/tab_pages.h"

namespace ui {

Rect TabPageArea(const Rect& client) {
  return Rect{client.left + 1, client.top + 25, client.right - 1, client.bottom - 1};
}

void ShowOnlyPage(std::initializer_list<Dialog*> pages, int index) {
  if (index < 0 || index >= static_cast<int>(pages.size())) return;
  int i = 0;
  for (Dialog* page : pages) page->ShowWindow(i++ == index);
}

}  // namespace ui
