#include "account/action_page.h"

CAccountActionPage::CAccountActionPage(const ui::DialogTemplate& dialogTemplate)
    : ui::Dialog(dialogTemplate) {}

void CAccountActionPage::RunAction(int buttonId, const std::function<void()>& action) {
  if (acting_) return;
  acting_ = true;
  EnableDlgItem(buttonId, false);
  action();
  EnableDlgItem(buttonId, true);
  acting_ = false;
  if (onActionEnded) onActionEnded();
}

bool CAccountActionPage::SendInBackground(const std::function<void()>& request) {
  return ui::RunBackgroundTask(requestTask, request);
}
