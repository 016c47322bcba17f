#include "controls/drag_edit.h"

void CDragEdit::OnDropFiles(const std::vector<std::string>& paths) {
  SetWindowText(paths.front());
}
