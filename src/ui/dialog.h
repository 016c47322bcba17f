// Dialog: the base class of every window of the client. A dialog is built from its template,
// talks to its controls by identifier, exchanges data between members and controls, runs window
// timers and shows message boxes. Its message map routes control notifications to handlers.
//
// Every control operation may be called from any thread. Off the user-interface thread the call
// is carried out on that thread and waited for, like a sent message; the user-interface thread
// is always either in its event loop or in a pumping wait, so such a call always completes.
// Before the window exists (or after it is gone) control operations do nothing and read as
// empty texts and zeros.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "ui/constants.h"
#include "ui/dialog_template.h"

namespace ui {

class Dialog;

// A rectangle in pixels: left, top, right, bottom.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// Moves all bound values between members and controls in one direction.
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saving) : dialog_(dialog), saving_(saving) {}
  // True when values go from the controls into the members.
  bool Saving() const { return saving_; }
  // Binds a GBK text member to the text of a control.
  void Text(int id, std::string& value);
  // Binds an integer member to the check state of a check box (0, 1 or 2).
  void Check(int id, int& value);
  // Binds an integer member to the index of the checked radio of the group that starts at
  // firstId (-1 for none).
  void Radio(int firstId, int& index);

 private:
  Dialog& dialog_;
  bool saving_;
};

// Column alignment of a list view column.
enum class ColumnFormat { kLeft, kCentre, kRight };

// A list view control of a dialog, in report mode.
class ListView {
 public:
  ListView(Dialog& dialog, int id) : dialog_(dialog), id_(id) {}
  unsigned GetExtendedStyle() const;
  void SetExtendedStyle(unsigned style);
  // Inserts a column and returns its index.
  int InsertColumn(int index, std::string_view heading, ColumnFormat format, int width,
                   int subItem);
  int GetColumnWidth(int column) const;
  int GetColumnCount() const;
  std::string GetColumnHeading(int column) const;
  // Width of the list's client area in pixels.
  int GetClientWidth() const;
  // Inserts a row with the text of column 0 at `index` (clamped to the end); returns its index.
  int InsertItem(int index, std::string_view text);
  bool SetItemText(int item, int subItem, std::string_view text);
  std::string GetItemText(int item, int subItem) const;
  int GetItemCount() const;
  void DeleteAllItems();

 private:
  Dialog& dialog_;
  int id_;
};

// A tab control of a dialog.
class TabControl {
 public:
  TabControl(Dialog& dialog, int id) : dialog_(dialog), id_(id) {}
  void InsertItem(int index, std::string_view text);
  int GetItemCount() const;
  std::string GetItemText(int index) const;
  int GetCurSel() const;
  void SetCurSel(int index);
  // The control's client rectangle in its own pixels (0, 0, width, height).
  Rect GetClientRect() const;

 private:
  Dialog& dialog_;
  int id_;
};

class Dialog {
 public:
  explicit Dialog(const DialogTemplate& dialogTemplate);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Creates the window as a child page of `parent`, inside its control `parentControlId` (or of
  // the window itself when 0), created hidden; runs OnInitDialog. Returns false when the parent
  // has no window.
  bool Create(Dialog& parent, int parentControlId = 0);

  // Creates the window, runs OnInitDialog and shows it modally over `owner` (or as a window of
  // its own); returns the result given to EndDialog. Callable from any thread: from a worker the
  // dialog runs on the user-interface thread and the worker waits for its result.
  int DoModal(Dialog* owner = nullptr);

  // Ends the modal run with `result`; the window is hidden and destroyed when DoModal returns.
  void EndDialog(int result);

  // Asks the window to close, as a posted close message does: the modal run ends with IDCANCEL
  // once the current handler has returned. No question is asked.
  void PostClose();

  bool HasWindow() const;
  const DialogTemplate& Template() const { return template_; }

  // Data exchange: true moves the controls into the members, false the members into the controls.
  bool UpdateData(bool saveAndValidate = true);

  // Window text (title) and state.
  void SetWindowText(std::string_view gbk);
  std::string GetWindowText() const;
  void ShowWindow(bool show);
  bool IsWindowVisible() const;
  void SetWindowPos(const Rect& rect);
  Rect GetWindowRect() const;
  Rect GetClientRect() const;
  void Minimize();
  bool IsIconic() const;
  // Shows the window (from hidden or minimised), raises it and asks the desktop for the focus.
  void BringToFront();
  void SetIconResource(int resourceId);
  // Adds an item to the window's context menu (the counterpart of the system menu); choosing it
  // calls OnSysCommand(commandId). An empty text adds a separator.
  void AppendSystemMenuItem(unsigned commandId, std::string_view gbk);

  // Controls by identifier.
  std::string GetDlgItemText(int id) const;
  void SetDlgItemText(int id, std::string_view gbk);
  void EnableDlgItem(int id, bool enable);
  bool IsDlgItemEnabled(int id) const;
  void ShowDlgItem(int id, bool show);
  bool IsDlgItemVisible(int id) const;
  int IsDlgButtonChecked(int id) const;
  void CheckDlgButton(int id, int state);
  // Returns the id of the checked radio button from firstId to lastId, or 0 for none.
  int GetCheckedRadioButton(int firstId, int lastId) const;
  // Checks checkId and clears the other radio buttons from firstId to lastId (none when checkId
  // is outside the range).
  void CheckRadioButton(int firstId, int lastId, int checkId);
  // Shows icon resource `resourceId` in a label control.
  void SetDlgItemIcon(int id, int resourceId);
  void SetFocusItem(int id);
  // Clicks button `id` as the user would (an automatic box or radio changes its check first, then
  // the click handler runs); nothing when the button is disabled.
  void ClickDlgItem(int id);
  // Runs `watcher` on the user-interface thread after every change of control `id` made through
  // this dialog: its text (also when set to the same text) or whether it is enabled; id 0 follows
  // the window's title. For what follows the window from outside it (the tray icon), never for
  // the window's own handlers.
  void WatchDlgItem(int id, std::function<void()> watcher);
  // Selects characters start to end of an edit (end -1: to the end) and scrolls the caret into
  // view.
  void SelectEditText(int id, int start = 0, int end = -1);
  Rect GetDlgItemRect(int id) const;
  ListView GetListView(int id) { return ListView(*this, id); }
  TabControl GetTabControl(int id) { return TabControl(*this, id); }

  // Window timers: OnTimer(id) runs every `milliseconds` on the user-interface thread, from the
  // event loop that runs at the time, so ticks also arrive inside an earlier tick's wait or
  // message box. Starting a running timer replaces it; a tick not yet handled when the timer is
  // killed is dropped.
  void SetTimer(int id, int milliseconds);
  void KillTimer(int id);
  // The running timers and their periods.
  std::map<int, int> RunningTimers() const;
  bool IsTimerRunning(int id) const;

  // Shows a message box owned by this window; the caption is the program file's name without
  // extension unless one is given. Returns IDOK, IDYES or IDNO.
  int MessageBox(std::string_view gbkText, std::string_view gbkCaption = {}, unsigned type = MB_OK);

  // Message map: handlers for control notifications, run on the user-interface thread.
  void OnClicked(int id, std::function<void()> handler);
  void OnChanged(int id, std::function<void()> handler);
  void OnSelChange(int id, std::function<void()> handler);
  void OnItemClick(int id, std::function<void(int row)> handler);

  // Dialog-layer internals shared with the Qt implementation.
  struct Impl;
  Impl& GetImpl() const { return *impl_; }

 public:
  // Overridables. They run on the user-interface thread; tests may call them directly.

  // Called once the window and its controls exist; the base shows the members in the controls.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(DataExchange& dx);
  virtual void OnTimer(int id);
  // System commands: SC_CLOSE (title bar, Alt+F4) calls OnClose; SC_MINIMIZE minimises.
  virtual void OnSysCommand(unsigned commandId);
  // The close request; the base ends the modal run with IDCANCEL.
  virtual void OnClose();
  // Enter and Escape; the bases end the modal run with IDOK and IDCANCEL.
  virtual void OnOK();
  virtual void OnCancel();
  // Sees every key press for this window and its controls first; true consumes it.
  virtual bool PreTranslateMessage(int key);

 private:
  friend struct Impl;
  friend class DataExchange;
  void QueueTick(int id);
  friend class ListView;
  friend class TabControl;

  DialogTemplate template_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui
