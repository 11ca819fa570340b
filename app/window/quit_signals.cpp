#include "app/window/quit_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "core/diag_log.h"

namespace {
// The signal handler's end of the pair and the count of signals taken; a
// handler may only write to a descriptor and touch lock-free atomics.
int gWriteEnd = -1;
int gReadEnd = -1;

void OnSignal(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = write(gWriteEnd, &byte, 1);
}
}  // namespace

QuitOnSignals::QuitOnSignals(std::function<void()> quit, QObject* parent) : QObject(parent), quit_(std::move(quit)) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    WriteLog("Cannot watch for SIGINT and SIGTERM");
    return;
  }
  gReadEnd = ends[0];
  gWriteEnd = ends[1];
  notifier_ = new QSocketNotifier(gReadEnd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitOnSignals::Received);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // A second signal, while the first is being carried out, takes the
  // default action: the process ends at once.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
  if (!notifier_) return;
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  close(gReadEnd);
  close(gWriteEnd);
  gReadEnd = gWriteEnd = -1;
}

void QuitOnSignals::Received() {
  char byte = 0;
  if (read(gReadEnd, &byte, 1) != 1) return;
  WriteLog("Signal %d: closing", static_cast<int>(byte));
  quit_();
}
