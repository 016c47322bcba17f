#include "app/tunvik_app.h"

#include <cstdio>
#include <memory>

#include "app/main_window.h"
#include "ui/application.h"

int CTunvikApp::Run(int argc, char** argv) {
  ui::Application application(argc, argv);
  auto window = std::make_unique<CTunvikDlg>();
  window->DoModal();
  // The dial thread is not waited for: the process ends with the window. Threads that still run
  // may yet reach for the window, so it is left in place and the process ends at once.
  window.release();
  std::fflush(nullptr);
  std::_Exit(0);
}
