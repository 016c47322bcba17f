// The fixture of the host tool window tests: the window fixture (offscreen application, scripted
// boxes, a program folder of the test's own) with the user's folders and the runtime folder of
// the scratch file moved into it, and helpers for the process list.
#pragma once

#include <sys/stat.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "app/main_window.h"
#include "app/resource.h"
#include "app/window_fixture.h"
#include "hosttools/test_support.h"
#include "text/gbk.h"

namespace hostwindows_test {

using hosttools_test::ScopedEnv;

// The text of a GBK box or control as UTF-8, for readable assertions.
inline std::string U(const std::string& gbk) {
  return text::GbkToUtf8(gbk);
}
inline std::string G(const char* utf8) {
  return text::Utf8ToGbk(utf8);
}

class HostWindowTest : public apptest::WindowTest {
 protected:
  void SetUp() override {
    apptest::WindowTest::SetUp();
    for (const char* sub : {"/home", "/config", "/runtime"}) ::mkdir((dir_ + sub).c_str(), 0700);
    home_ = std::make_unique<ScopedEnv>("HOME", dir_ + "/home");
    config_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", dir_ + "/config");
    runtime_ = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", dir_ + "/runtime");
  }
  void TearDown() override {
    runtime_.reset();
    config_.reset();
    home_.reset();
    apptest::WindowTest::TearDown();
  }

  std::string ScratchPath() const { return dir_ + "/runtime/XOL-VPN.ini"; }
  std::string ConfigDir() const { return dir_ + "/config"; }

  // The rows of list 1003 by pid: the process name and the label column.
  static std::map<std::string, std::pair<std::string, std::string>> Rows(CTunvikDlg& window) {
    std::map<std::string, std::pair<std::string, std::string>> rows;
    ui::ListView list = window.GetListView(IDC_PROCESS_LIST);
    for (int row = 0; row < list.GetItemCount(); ++row) {
      rows[list.GetItemText(row, 0)] = {list.GetItemText(row, 1), list.GetItemText(row, 2)};
    }
    return rows;
  }

 private:
  std::unique_ptr<ScopedEnv> home_, config_, runtime_;
};

}  // namespace hostwindows_test
