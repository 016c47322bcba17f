// CAccountActionPage: what the recharge and change-password pages share. An action sends one
// request of the service API as a background task while the page's action button stays
// disabled, so the dialog keeps repainting and reacting while the request runs.
#pragma once

#include <functional>

#include "api/service_api.h"
#include "ui/background_task.h"
#include "ui/dialog.h"

class CAccountActionPage : public ui::Dialog {
 public:
  // Builds the page from its template; the API members start at the deployment's base.
  explicit CAccountActionPage(const ui::DialogTemplate& dialogTemplate);

  // True from the click of the action button until its handler has shown its last message.
  bool Acting() const { return acting_; }

  // The API members of the page; both bases start as the deployment's API base.
  api::ApiMembers api;
  // The page's requests: at most one runs at a time.
  ui::TaskKind requestTask;
  // Called on the user-interface thread each time an action has ended.
  std::function<void()> onActionEnded;

 protected:
  // Runs `action` with button `buttonId` disabled and enables it again afterwards. Does nothing
  // while another action of the page is still running.
  void RunAction(int buttonId, const std::function<void()>& action);

  // Runs `request` on a worker thread and waits for it while the dialog keeps reacting. Returns
  // false, without running it, when a request of this page is still running.
  bool SendInBackground(const std::function<void()>& request);

 private:
  bool acting_ = false;
};
