// Window templates: a dialog's size, title and controls in dialog units, the way the window
// classes describe their windows. The dialog layer turns a template into Qt widgets.
//
// Texts in templates are UTF-8 source literals; everything a window reads or writes at run time
// through the dialog layer is GBK.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/constants.h"

namespace ui {

enum class ControlKind {
  kLabel,        // static text
  kEdit,         // single-line edit, or multi-line with kMultiLine
  kButton,       // push button
  kCheckBox,     // automatic check box
  kRadioButton,  // automatic radio button; kGroup starts a new group
  kGroupBox,     // frame with an optional caption
  kTab,          // tab control that hosts child pages
  kListView,     // list view in report mode
};

// Control styles (bit flags).
namespace style {
inline constexpr std::uint32_t kGroup = 1u << 0;        // starts a radio group
inline constexpr std::uint32_t kDisabled = 1u << 1;     // created disabled
inline constexpr std::uint32_t kPassword = 1u << 2;     // edit masks its text
inline constexpr std::uint32_t kMultiLine = 1u << 3;    // edit or button text on several lines
inline constexpr std::uint32_t kReadOnly = 1u << 4;     // edit cannot be typed into
inline constexpr std::uint32_t kBorder = 1u << 5;       // edit with a frame
inline constexpr std::uint32_t kAutoHScroll = 1u << 6;  // edit scrolls horizontally
inline constexpr std::uint32_t kVScroll = 1u << 7;      // vertical scroll bar
inline constexpr std::uint32_t kWantReturn = 1u << 8;   // Enter starts a new line in the edit
inline constexpr std::uint32_t kAcceptFiles = 1u << 9;  // files may be dropped onto the control
inline constexpr std::uint32_t kHidden = 1u << 10;      // created hidden
}  // namespace style

// Dialog styles (bit flags).
namespace dialog_style {
inline constexpr std::uint32_t kChild = 1u << 0;          // a borderless child page
inline constexpr std::uint32_t kMinimizeBox = 1u << 1;    // caption with a minimise button
inline constexpr std::uint32_t kSizingBorder = 1u << 2;   // the user may resize the window
inline constexpr std::uint32_t kCentre = 1u << 3;         // centred on the screen
inline constexpr std::uint32_t kTaskbarButton = 1u << 4;  // a top-level window of its own
}  // namespace dialog_style

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::string_view text;
  std::uint32_t style;
  int x, y, width, height;
  // What a screen reader calls a control that shows no text of its own and has no label before
  // it (a list, a frame, a picture). Every other control is named by its own text or its label.
  std::string_view name = {};
};

struct DialogTemplate {
  int resourceId;
  std::string_view title;
  int width, height;
  std::uint32_t style;
  std::vector<ControlTemplate> controls;
};

}  // namespace ui
