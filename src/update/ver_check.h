// CVerCheck: the update dialog (template 137). It shows the new version's description and, on
// the user's request, downloads the new program file into the program directory while its
// spinner turns; it ends with OK once the file is in place and verified.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "controls/circle_progress.h"
#include "ui/dialog.h"

// The template's static text without an id of its own: the description, later the failure.

class CVerCheck : public ui::Dialog {
 public:
  // The spinner's turn: one step every 200 ms.
  static constexpr int kSpinnerPeriodMs = 200;

  CVerCheck();
  // Stops a download that still runs and waits for its thread.
  ~CVerCheck() override;

  // Shows the description of the version file, enables Download and creates the hidden spinner.
  bool OnInitDialog() override;
  // Escape and the title bar's close leave with Cancel, except while a download runs (Cancel is
  // disabled then).
  void OnCancel() override;
  void OnClose() override;

  // Handler of Download (1046): hides the text, disables both buttons, turns the spinner and
  // starts DownloadNewVersion on a thread of its own.
  void OnDownload();
  // True from a click on Download until the download has ended.
  bool Downloading() const { return downloading_.load(); }

  // The spinner shown while the download runs.
  CCircleProgress spinner;
  // The program directory, where the version file is read and the new program file goes.
  std::string programDir;

 private:
  // The download's thread: fetches the file named by newverurl with its signature and, when it
  // is verified, puts it in place as programDir + "/Quoril_" + mainver.
  void DownloadNewVersion();
  // Back on the user-interface thread: closes with OK, or shows the failure and enables Cancel.
  void FinishDownload(bool succeeded);

  std::thread downloadThread_;
  std::atomic<bool> downloading_{false};
  std::atomic<bool> cancelDownload_{false};
  // Expires with the dialog object, for the download's last step queued to the window thread.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
