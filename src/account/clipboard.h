// The desktop clipboard, for the register page's copy of the registration address.
#pragma once

#include <string_view>

namespace account {

// Replaces the clipboard's contents by the GBK text `gbk` as plain text. Returns false, leaving
// the clipboard as it was, when there is no clipboard to open (no application running).
bool CopyTextToClipboard(std::string_view gbk);

}  // namespace account
