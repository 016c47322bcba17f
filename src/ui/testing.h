// Test seams of the dialog layer: an application on the offscreen platform, scripted answers to
// message boxes, and real input events (clicks, keys, drops) sent to controls by identifier.
// Linked into tests only (library tunvik_ui_testing).
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ui/message_box.h"

namespace ui {
class Dialog;
}

namespace ui::testing {

// Creates the test process's application once, on the offscreen platform unless the environment
// names another. Call it on the test's main thread, which becomes the user-interface thread.
void EnsureApplication();

// How many times the program would have ended its process (ui::EndProcess) in this test process.
int ProcessEnds();

// While alive, message boxes are not shown: each is recorded and answered from the queue of
// answers (IDOK for an OK box and IDNO for a question when the queue is empty).
class ScriptedMessageBoxes {
 public:
  ScriptedMessageBoxes();
  ~ScriptedMessageBoxes();
  ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
  ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

  // Queues the answer to the next box.
  void QueueAnswer(int answer);
  // Runs `action` inside the next box, while it is open (before it is answered).
  void WhileNextOpen(std::function<void()> action);
  std::vector<MessageBoxRequest> Shown() const;
  std::size_t Count() const;
  // Texts of the boxes shown so far, converted to UTF-8 for readable assertions.
  std::vector<std::string> TextsUtf8() const;
  void Clear();

 private:
  int Answer(const MessageBoxRequest& request);

  mutable std::mutex mutex_;
  std::vector<MessageBoxRequest> shown_;
  std::vector<int> answers_;
  std::vector<std::function<void()>> actions_;
};

// Runs `dialog` modally and calls `whileOpen` inside its event loop once the window is
// initialised; ends the run with IDCANCEL after `whileOpen` unless it was ended already.
// Returns the dialog's result.
int RunModal(Dialog& dialog, const std::function<void()>& whileOpen);

// Dispatches pending events for about `milliseconds` (at least once).
void ProcessEvents(int milliseconds = 0);

// Dispatches events until `condition` holds or `timeoutMs` passed; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// A left mouse click in the middle of the control.
void Click(Dialog& dialog, int id);
// Key presses that type `utf8` into the control, which gets the focus first.
void TypeText(Dialog& dialog, int id, std::string_view utf8);
// Presses a key (VK_RETURN or VK_ESCAPE) in the control (id 0: the window itself).
void PressKey(Dialog& dialog, int id, int key);
// The window manager's close request (the title bar's close button).
void RequestClose(Dialog& dialog);
// A click on tab `index` of a tab control.
void ClickTab(Dialog& dialog, int id, int index);
// A click on row `row` of a list view; -1 clicks the empty area below the last row.
void ClickListRow(Dialog& dialog, int id, int row);
// Drops local files (full paths, in the file system's encoding) onto the control.
void DropFiles(Dialog& dialog, int id, const std::vector<std::string>& paths);
// Chooses an item of the window's context menu.
void ChooseSystemMenuItem(Dialog& dialog, unsigned commandId);
// The texts of the window's context menu items, UTF-8 (separators as empty texts).
std::vector<std::string> SystemMenuTextsUtf8(Dialog& dialog);
// Saves a picture of the window (with its children) as PNG; false on failure.
bool SaveScreenshot(Dialog& dialog, const std::string& path);
// Returns the visible, enabled state of a control's widget as the screen shows it.
bool IsShownOnScreen(Dialog& dialog, int id);

}  // namespace ui::testing
