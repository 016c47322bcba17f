// The request to end the program that comes as a signal (the desktop session ending, a service
// manager stopping it, Ctrl+C in a terminal), turned into a call on the user-interface thread.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "ui/application.h"

namespace ui {
namespace {

// Written by the signal handler, read on the user-interface thread: the only thing a signal
// handler may safely do is write to a pipe.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(g_signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void OnTerminationRequest(std::function<void()> handler) {
  if (g_signalPipe[0] >= 0 || QCoreApplication::instance() == nullptr) return;
  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier =
      new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [handler] {
    char bytes[16];
    while (read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    handler();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace ui
