// The fixture of the update's window tests: the main window in a program directory of the
// test's own, its timers stopped so that tests drive them, the update server and key taken from
// the environment as the client takes them, and a script that drives the update dialog from a
// thread of its own while the check waits for the dialog.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/resource.h"
#include "fake_api.h"
#include "settings/deployment.h"
#include "settings/profile.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "update_support.h"
#include "window_fixture.h"

namespace update_test {

namespace t = ui::testing;

inline std::string U(const std::string& gbk) {
  return text::GbkToUtf8(gbk);
}

// Runs `script` on a thread of its own once `dialog` is open. The script reaches the dialog only
// through its thread-safe operations and ui::Invoke. Stop() ends the wait of a script whose
// dialog never opened.
class WhileDialogOpen {
 public:
  WhileDialogOpen(CVerCheck& dialog, std::function<void(CVerCheck&)> script)
      : thread_([this, &dialog, script = std::move(script)] {
          if (Eventually([&] { return stop_.load() || dialog.HasWindow(); }) &&
              dialog.HasWindow()) {
            opened_ = true;
            script(dialog);
          }
          finished_ = true;
        }) {}
  ~WhileDialogOpen() { Stop(); }
  WhileDialogOpen(const WhileDialogOpen&) = delete;
  WhileDialogOpen& operator=(const WhileDialogOpen&) = delete;

  // Waits for the script's end; a script still waiting for its dialog gives up. The window
  // thread keeps dispatching meanwhile, since the script reaches the dialog through it.
  void Stop() {
    stop_ = true;
    if (ui::IsUiThread()) t::WaitUntil([&] { return finished_.load(); }, 60000);
    if (thread_.joinable()) thread_.join();
  }
  bool opened() const { return opened_.load(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

// What a script sees of the update dialog at one moment.
struct DialogState {
  std::string text;  // UTF-8
  bool textShown = false;
  bool downloadEnabled = false;
  bool cancelEnabled = false;
  bool spinnerShown = false;
  bool spinnerTurning = false;
};

inline DialogState StateOf(CVerCheck& dialog) {
  DialogState state;
  ui::Invoke([&] {
    state.text = U(dialog.GetDlgItemText(IDC_VERCHECK_TEXT));
    state.textShown = dialog.IsDlgItemVisible(IDC_VERCHECK_TEXT);
    state.downloadEnabled = dialog.IsDlgItemEnabled(IDC_DOWNLOAD);
    state.cancelEnabled = dialog.IsDlgItemEnabled(ui::IDCANCEL);
    state.spinnerShown = dialog.spinner.IsWindowVisible();
    state.spinnerTurning = dialog.spinner.IsTimerRunning(CCircleProgress::kTurnTimer);
  });
  return state;
}

// A click on a control of the dialog, from the script's thread.
inline void ClickFromScript(CVerCheck& dialog, int id) {
  ui::Invoke([&] { t::Click(dialog, id); });
}

class UpdateWindowTest : public apptest::WindowTest {
 protected:
  void SetUp() override {
    apptest::WindowTest::SetUp();
    for (const char* name : {"TUNVIK_UPDATE_BASE", "TUNVIK_UPDATE_KEY"}) {
      const char* old = std::getenv(name);
      savedEnv_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    }
  }
  void TearDown() override {
    for (const auto& [name, old] : savedEnv_) {
      if (old) {
        setenv(name.c_str(), old->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    settings::ReloadDeployment();
    apptest::WindowTest::TearDown();
  }

  // Points the client at the update server `base`, with `key` as its update key.
  static void UseUpdateServer(const std::string& base, const std::string& key) {
    setenv("TUNVIK_UPDATE_BASE", base.c_str(), 1);
    setenv("TUNVIK_UPDATE_KEY", key.c_str(), 1);
    settings::ReloadDeployment();
  }

  // Opens the main window with the API at `apiBase` (the scripted one when empty) and runs
  // `body` inside it, with its timers 1, 2, 5 and 7 (and page 1's) stopped; timer 8 is left.
  void RunWindow(const std::function<void(CTunvikDlg&)>& body, std::string apiBase = "") {
    if (apiBase.empty()) apiBase = scriptedApi.Base();
    CTunvikDlg window;
    window.api = api::ApiMembers(apiBase);
    window.page1.api = api::ApiMembers(apiBase);
    t::RunModal(window, [&] {
      for (int id : {kProcessListTimer, kNoticeTimer, kSupervisionTimer, kExpiryTimer}) {
        window.KillTimer(id);
      }
      window.page1.KillTimer(1);
      body(window);
    });
  }

  // Runs the version check the way the notice starts it.
  static void RunCheck(CTunvikDlg& window) {
    ui::RunBackgroundTask(window.versionCheckTask, [&] { window.CheckForUpdate(); });
  }

  std::string Setting(std::string_view section, std::string_view key) const {
    return settings::GetProfileString(section, key, "<none>", settings::kWhole, SettingsPath());
  }

  // A small program that appends the path it was started by to `marker`.
  static std::string RecordingProgram(const std::string& marker) {
    return "#!/bin/sh\necho \"$0\" >> '" + marker + "'\n";
  }

  static unsigned Mode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
  }

  apptest::FakeApi scriptedApi;
  TempDir outside;  // files that must stay out of the program directory

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};

}  // namespace update_test
