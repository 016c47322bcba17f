// Child pages in a tab control: where they go and which one shows.
#pragma once

#include <initializer_list>

#include "ui/dialog.h"

namespace ui {

// The area of a tab control where its pages go, given its client rectangle: less the tab row
// and the frame (left + 1, top + 25, right - 1, bottom - 1).
Rect TabPageArea(const Rect& client);

// Shows the page at `index` and hides the others; an index outside the list changes nothing.
void ShowOnlyPage(std::initializer_list<Dialog*> pages, int index);

}  // namespace ui
