// Message boxes, and the seam through which tests see and answer them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ui {

class Dialog;

// What a message box shows. Texts are GBK.
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  unsigned type = 0;       // MB_OK or MB_YESNO
  std::string ownerTitle;  // title of the owning window, empty for none
};

// Shows a message box owned by `owner` (may be null) and returns IDOK, IDYES or IDNO. Callable
// from any thread: the box runs on the user-interface thread and the caller waits for the answer.
int ShowMessageBox(Dialog* owner, std::string_view gbkText, std::string_view gbkCaption,
                   unsigned type);

// The default caption: the program file's name without its extension, GBK.
std::string DefaultCaption();
// The caption for the program file at `path`: its name without a known program extension
// (".exe", ".bin", ...); any other dot belongs to the name ("Quoril_10.6" stays whole).
std::string ProgramCaption(std::string_view path);

// Replaces the real boxes by `handler` (called on the user-interface thread with the request,
// returning the answer); an empty handler restores the real boxes.
void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler);

}  // namespace ui
