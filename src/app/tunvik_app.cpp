#include "app/tunvik_app.h"

#include <memory>

#include "app/main_window.h"
#include "ui/application.h"

int CTunvikApp::Run(int argc, char** argv) {
  ui::Application application(argc, argv);
  auto window = std::make_unique<CTunvikDlg>();
  // Asked to end from outside (the session ends), the program leaves as after a confirmed exit:
  // the connection is hung up and its entry deleted first.
  ui::OnTerminationRequest([&window] { window->LeaveProgram(); });
  window->DoModal();
  // A confirmed exit ends the process from inside the window (LeaveProgram); a run that ends
  // otherwise ends the same way. Threads that still run may yet reach for the window, so it is
  // left in place.
  window.release();
  ui::EndProcess();
  return 0;
}
