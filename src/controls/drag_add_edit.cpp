#include "controls/drag_add_edit.h"

void CDragAddEdit::OnDropFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!accumulatedText.empty()) accumulatedText += "\r\n";
    accumulatedText += path;
  }
  SetWindowText(accumulatedText);
}
