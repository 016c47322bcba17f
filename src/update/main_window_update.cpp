// The main window's part of the self-update: the version check that the notice starts, the
// hand-over to the new program file, and the clean-up of the previous one on timer 8.
#include <unistd.h>

#include <cstdio>

#include "app/main_window.h"
#include "settings/deployment.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "settings/program_dir.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "update/package_update.h"
#include "update/program_files.h"
#include "update/program_launch.h"
#include "update/verified_download.h"
#include "update/version_number.h"

namespace {

// What the check needs of the window, taken on the window thread.
struct CheckContext {
  std::string programDir;
  std::string settingsPath;
  std::string versionText;
};

// Records the hand-over, starts the new program and leaves as a confirmed exit does. When the
// new program cannot be started the mark is taken back, the user is told and this one keeps
// running.
void HandOver(CTunvikDlg& window, const CheckContext& context, const std::string& newVersion) {
  settings::WriteProfileString(settings::kHostConfig, settings::kUpdateState, "1",
                               context.settingsPath);
  settings::WriteProfileString(settings::kMainVerSection, settings::kMainVer, context.versionText,
                               context.settingsPath);
  std::string error;
  if (!update::StartProgram(update::ProgramFilePath(context.programDir, newVersion), error)) {
    std::fprintf(stderr, "tunvik: %s\n", error.c_str());
    settings::WriteProfileString(settings::kHostConfig, settings::kUpdateState, "0",
                                 context.settingsPath);
    window.MessageBox(text::Gbk("新版本启动失败! 请联系客服获取最新版本"));
    return;
  }
  window.handedOver = true;
  window.LeaveProgram();
}

}  // namespace

void CTunvikDlg::OnNewerVersionAnnounced(const std::string& announced) {
  if (settings::IsInstalledProgram()) {
    // The package manager owns an installed program's folder: nothing is downloaded into it.
    // The user is told through the status line; a desktop notification belongs here as well.
    ShowStatus(update::PackageUpdateStatus(announced));
    return;
  }
  ui::RunBackgroundTask(versionCheckTask, [this] { CheckForUpdate(); });
}

void CTunvikDlg::CheckForUpdate() {
  if (settings::IsInstalledProgram()) return;
  CheckContext context;
  ui::Invoke([&] { context = {programDir, settingsPath, versionText}; });
  const std::string versionFile = update::VersionFilePath(context.programDir);
  const std::string url =
      update::VersionFileUrl(settings::CurrentDeployment().updateBase, context.versionText);
  std::string error;
  if (!update::DownloadVersionFile(url, versionFile, error)) return;

  const std::string newVersion = settings::GetProfileString(
      settings::kMainVerSection, settings::kMainVer, "", update::kValueLimit, versionFile);
  if (update::VersionNumber(newVersion) > update::VersionNumber(context.versionText)) {
    if (updateDialog.DoModal(this) == ui::IDOK) HandOver(*this, context, newVersion);
  }
  ::unlink(versionFile.c_str());
}

void CTunvikDlg::CleanUpAfterUpdate() {
  if (settings::IsInstalledProgram()) {
    // An installed program never hands over, so a mark in its settings file is stale (a copied
    // file): nothing beside the program is deleted.
    settings::WriteProfileString(settings::kHostConfig, settings::kUpdateState, "0", settingsPath);
    KillTimer(kUpdateCleanUpTimer);
    return;
  }
  const std::string previous = settings::GetProfileString(
      settings::kMainVerSection, settings::kMainVer, "", settings::kMainVerLimit, settingsPath);
  if (!update::DeletePreviousProgram(update::ProgramFilePath(programDir, previous))) return;
  settings::WriteProfileString(settings::kMainVerSection, settings::kMainVer, versionText,
                               settingsPath);
  settings::WriteProfileString(settings::kHostConfig, settings::kUpdateState, "0", settingsPath);
  KillTimer(kUpdateCleanUpTimer);
}
