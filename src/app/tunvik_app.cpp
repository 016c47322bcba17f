#include "app/tunvik_app.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/desktop_presence.h"
#include "app/main_window.h"
#include "hosttools/process_labels.h"
#include "ui/application.h"
#include "ui/single_instance.h"

namespace {

// The folder of the user's own for this desktop session: the runtime folder, or the private
// temporary folder that stands in for it (the folder of the process labels' scratch file); empty
// when there is none.
std::string SessionFolder() {
  const std::string scratch = hosttools::ScratchFilePath();
  return scratch.empty() ? std::string() : std::filesystem::path(scratch).parent_path().string();
}

}  // namespace

int CTunvikApp::Run(int argc, char** argv) {
  ui::Application application(argc, argv);

  // One client per desktop session: a second start brings the first forward and ends.
  std::unique_ptr<ui::SingleInstance> instance;
  if (const std::string folder = SessionFolder(); !folder.empty()) {
    instance = std::make_unique<ui::SingleInstance>(folder);
    switch (instance->ClaimOrHandOver()) {
      case ui::SingleInstance::Claim::kFirst:
        break;
      case ui::SingleInstance::Claim::kHandedOver:
        std::fprintf(stderr,
                     "tunvik: the client is already running; its window has come forward\n");
        return 0;
      case ui::SingleInstance::Claim::kNoAnswer:
        std::fprintf(stderr,
                     "tunvik: the client is already running but does not answer; no second one "
                     "is started\n");
        return 1;
      case ui::SingleInstance::Claim::kNoFolder:
        std::fprintf(stderr, "tunvik: cannot tell whether the client is already running (%s)\n",
                     instance->LockPath().c_str());
        instance.reset();
        break;
    }
  }

  auto window = std::make_unique<CTunvikDlg>();
  window->desktop = std::make_unique<CDesktopPresence>(*window);
  if (instance) instance->Listen([&window] { return window->OnSecondStart(); });
  // Asked to end from outside (the session ends), the program leaves as after a confirmed exit:
  // the connection is hung up and its entry deleted first.
  ui::OnTerminationRequest([&window] { window->LeaveProgram(); });
  window->DoModal();
  // A confirmed exit ends the process from inside the window (LeaveProgram); a run that ends
  // otherwise ends the same way. Threads that still run may yet reach for the window, so it is
  // left in place; the lock of the single instance goes with the process.
  window.release();
  instance.release();
  ui::EndProcess();
  return 0;
}
