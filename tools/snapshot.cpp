// tunvik-snapshot OUTDIR: renders the main window with each of its pages, the About box, the
// account dialog with each of its pages and the close-list dialog on the
// offscreen platform into PNG files, for a look at the layout without a display. The settings
// file is read from and written to a temporary folder, never beside the program.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "account/reg_dialog.h"
#include "app/about_dlg.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "controls/close_thread_dlg.h"
#include "settings/program_dir.h"
#include "ui/application.h"
#include "ui/testing.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  std::filesystem::create_directories(out);
  char pattern[] = "/tmp/tunvik-snapshot-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr) return 1;
  settings::SetProgramDirectoryForTesting(dir);
  ui::testing::EnsureApplication();
  ui::testing::ScriptedMessageBoxes boxes;

  bool ok = true;
  auto save = [&](ui::Dialog& dialog, const std::string& name) {
    std::string path = out + "/" + name + ".png";
    bool saved = ui::testing::SaveScreenshot(dialog, path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.c_str());
    ok = ok && saved;
  };

  CTunvikDlg window;
  ui::testing::RunModal(window, [&] {
    ui::testing::ProcessEvents(50);
    for (int tab = 0; tab < 3; ++tab) {
      ui::testing::ClickTab(window, IDC_TAB, tab);
      ui::testing::ProcessEvents(20);
      save(window, "main-tab" + std::to_string(tab + 1));
    }
    CAboutDlg about;
    ui::testing::RunModal(about, [&] { save(about, "about"); });
    CRegDialog account;
    ui::testing::RunModal(account, [&] {
      for (int tab = 0; tab < 3; ++tab) {
        ui::testing::ClickTab(account, IDC_REG_TAB, tab);
        ui::testing::ProcessEvents(20);
        save(account, "account-tab" + std::to_string(tab + 1));
      }
    });
    CCloseThreadDlg closeList;
    ui::testing::RunModal(closeList, [&] { save(closeList, "close-list"); });
  });
  std::filesystem::remove_all(dir);
  std::fflush(stdout);
  std::_Exit(ok ? 0 : 1);
}
