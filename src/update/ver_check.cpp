#include "update/ver_check.h"

#include <cstdio>

#include "app/resource.h"
#include "base/guarded.h"
#include "settings/deployment.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "settings/program_dir.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "update/program_files.h"
#include "update/verified_download.h"

namespace {

using ui::ControlKind;

const ui::DialogTemplate kVerCheckTemplate{
    IDD_VERCHECK,
    "版本更新",
    175,
    95,
    0,
    {
        {ui::IDCANCEL, ControlKind::kButton, "取消", 0, 98, 72, 50, 14},
        {IDC_VERCHECK_TEXT, ControlKind::kLabel, "Static", 0, 19, 10, 137, 50},
        {IDC_DOWNLOAD, ControlKind::kButton, "下载", ui::style::kDisabled, 27, 72, 50, 14},
    }};

// Where the spinner is created; its default geometry then makes it 106 x 106 pixels.
constexpr ui::Rect kSpinnerRect{70, 5, 160, 160};

}  // namespace

CVerCheck::CVerCheck() : ui::Dialog(kVerCheckTemplate) {
  OnClicked(ui::IDCANCEL, [this] { EndDialog(ui::IDCANCEL); });
  OnClicked(IDC_DOWNLOAD, [this] { OnDownload(); });
}

CVerCheck::~CVerCheck() {
  cancelDownload_ = true;
  if (downloadThread_.joinable()) downloadThread_.join();
}

bool CVerCheck::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  programDir = settings::ProgramDirectory();
  const std::string content =
      settings::GetProfileString(settings::kMainVerSection, update::kContentKey, "",
                                 update::kValueLimit, update::VersionFilePath(programDir));
  SetDlgItemText(IDC_VERCHECK_TEXT, content);
  EnableDlgItem(IDC_DOWNLOAD, true);
  spinner.CreateSpinner(*this, kSpinnerRect);
  spinner.ApplyDefaultGeometry();
  return true;
}

void CVerCheck::OnCancel() {
  if (!Downloading()) ui::Dialog::OnCancel();
}

void CVerCheck::OnClose() {
  if (!Downloading()) ui::Dialog::OnClose();
}

void CVerCheck::OnDownload() {
  if (Downloading()) return;
  ShowDlgItem(IDC_VERCHECK_TEXT, false);
  EnableDlgItem(IDC_DOWNLOAD, false);
  EnableDlgItem(ui::IDCANCEL, false);
  spinner.SetTimer(CCircleProgress::kTurnTimer, kSpinnerPeriodMs);
  spinner.ShowWindow(true);

  // A thread of an earlier showing has posted its last step already and is ending.
  if (downloadThread_.joinable()) downloadThread_.join();
  cancelDownload_ = false;
  downloading_ = true;
  downloadThread_ = std::thread([this] { DownloadNewVersion(); });
}

void CVerCheck::DownloadNewVersion() {
  // This thread never waits for the window thread, so the destructor may wait for it there.
  bool succeeded = false;
  // An error nobody expected counts as a failed download: the dialog is given back either way.
  base::RunGuarded("the download", [&] {
    const std::string versionFile = update::VersionFilePath(programDir);
    const std::string url = settings::GetProfileString(
        settings::kMainVerSection, update::kNewVerUrlKey, "", update::kValueLimit, versionFile);
    const std::string version = settings::GetProfileString(
        settings::kMainVerSection, settings::kMainVer, "", update::kValueLimit, versionFile);
    const std::string target = update::ProgramFilePath(programDir, version);
    std::string error;
    if (target.empty()) {
      error = "the version file names no usable version";
    } else {
      succeeded = update::DownloadVerifiedProgram(
          url, target, settings::CurrentDeployment().updateKey, &cancelDownload_, error);
    }
    if (!succeeded) std::fprintf(stderr, "tunvik: update not downloaded: %s\n", error.c_str());
  });

  std::weak_ptr<int> alive = alive_;
  ui::Post([this, alive, succeeded] {
    if (!alive.expired()) FinishDownload(succeeded);
  });
}

void CVerCheck::FinishDownload(bool succeeded) {
  // The thread's last act was to queue this call.
  if (downloadThread_.joinable()) downloadThread_.join();
  downloading_ = false;
  spinner.KillTimer(CCircleProgress::kTurnTimer);
  spinner.ShowWindow(false);
  if (succeeded) {
    EndDialog(ui::IDOK);
    return;
  }
  SetDlgItemText(IDC_VERCHECK_TEXT, text::Gbk("下载失败! 请联系客服获取最新版本"));
  ShowDlgItem(IDC_VERCHECK_TEXT, true);
  EnableDlgItem(ui::IDCANCEL, true);
}
