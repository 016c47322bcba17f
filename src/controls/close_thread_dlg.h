// CCloseThreadDlg: the dialog that edits the list of programs closed when the connection drops
// (ClosingProcess), one program path a line; files dropped onto the list add their paths.
#pragma once

#include <string>

#include "controls/drag_add_edit.h"
#include "ui/dialog.h"

class CCloseThreadDlg : public ui::Dialog {
 public:
  // Loads the list from the settings file.
  CCloseThreadDlg();

  // Opens a new close-list dialog modally over `owner` (none when null) and returns once the user
  // has closed it. Callable from any thread.
  static void ShowModal(ui::Dialog* owner);

  void DoDataExchange(ui::DataExchange& dx) override;

  // Reads ClosingProcess whole into listText and closeList.accumulatedText, each "|" turned into
  // a line break ("\r\n").
  void LoadSettings();

  // Handler of button 1039: stores the edit's lines joined by "|" as ClosingProcess and tells
  // the user "保存成功！", or "保存失败！" when the settings file could not be written. The
  // dialog stays open.
  void SaveCloseList();

  // The drop target behind edit 1037.
  CDragAddEdit closeList;
  // The list as the edit shows it, lines separated by "\r\n".
  std::string listText;

 private:
  // Change notification of edit 1037.
  void OnListChanged();
};
