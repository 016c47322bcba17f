// What the maintenance actions need of the window that owns their message boxes.
#pragma once

#include <functional>
#include <string>

namespace hosttools {

// Message boxes of the window that acts, all texts GBK. Every member must be set.
struct Prompts {
  // A message in the window's own box with an OK button.
  std::function<void(const std::string& text)> showMessage;
  // A question in the window's box with Yes and No buttons; returns true for Yes.
  std::function<bool(const std::string& text, const std::string& caption)> askYesNo;
  // A message in the application's box (default caption, OK button).
  std::function<void(const std::string& text)> showApplicationMessage;
};

}  // namespace hosttools
