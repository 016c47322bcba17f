// Identifiers and flags that the window classes share with the dialog layer: command results,
// message box kinds and answers, system commands, and list-view extended styles.
#pragma once

namespace ui {

// Command and dialog results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// A control without an identifier of its own (labels, group boxes).
inline constexpr int IDC_STATIC = -1;

// Message box kinds.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_YESNO = 0x4;

// System commands, as the window's context menu and caption buttons deliver them.
inline constexpr unsigned SC_MINIMIZE = 0xF020;
inline constexpr unsigned SC_CLOSE = 0xF060;

// Keys that reach PreTranslateMessage.
inline constexpr int VK_RETURN = 13;
inline constexpr int VK_ESCAPE = 27;

// List-view extended styles.
inline constexpr unsigned LVS_EX_GRIDLINES = 0x01;
inline constexpr unsigned LVS_EX_FULLROWSELECT = 0x20;

// Check states of buttons.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int BST_INDETERMINATE = 2;

}  // namespace ui
