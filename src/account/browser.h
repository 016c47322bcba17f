// Opening a web address in the user's default browser, with a seam that tests replace so that no
// browser is ever started by a test.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace account {

// Asks the desktop to open the GBK web address `gbkAddress` in the default browser. Only http and
// https addresses are opened: anything else (a local file, a program, another scheme) could run
// something on this computer, so it is refused. Returns true when the address was handed on; the
// browser's own outcome is not known.
bool OpenInBrowser(std::string_view gbkAddress);

// Replaces the desktop's opener by `opener`, which receives the address in UTF-8 after the checks
// above; an empty function restores the desktop's. Call it from the user-interface thread.
void SetBrowserOpenerForTesting(std::function<void(const std::string& utf8Address)> opener);

}  // namespace account
