// CDragEdit: an edit whose text becomes the full path of the first file dropped onto it. The main
// window's process field (edit 1002) is one.
#pragma once

#include "controls/drop_files_edit.h"

class CDragEdit : public CDropFilesEdit {
 protected:
  // Replaces the edit's text with the first path; the others are left out.
  void OnDropFiles(const std::vector<std::string>& paths) override;
};
