// CDragAddEdit: a multi-line edit that appends the full path of every file dropped onto it as a
// line of its own. The close-list dialog's list (edit 1037) is one.
#pragma once

#include <string>

#include "controls/drop_files_edit.h"

class CDragAddEdit : public CDropFilesEdit {
 public:
  // The text the dropped paths are appended to; the owner keeps it equal to the edit's text.
  std::string accumulatedText;

 protected:
  // Appends each path to accumulatedText, after a "\r\n" unless it is empty, and shows the
  // result in the edit.
  void OnDropFiles(const std::vector<std::string>& paths) override;
};
