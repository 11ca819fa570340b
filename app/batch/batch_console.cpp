#include "app/batch/batch_console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>

#include "app/batch/batch_text.h"
#include "app/batch/stop_signal.h"
#include "platform/core/threads.h"

namespace {
// Plain progress lines (standard error not a terminal) come this often.
constexpr DWORD kPlainIntervalMs = 5000;
constexpr int kBarWidth = 20;

std::string Bar(int percent) {
  const int filled = std::clamp(percent, 0, 100) * kBarWidth / 100;
  return "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kBarWidth - filled), '-') +
         "] ";
}
}  // namespace

BatchConsole::BatchConsole(bool quiet, std::FILE* out, std::FILE* err)
    : quiet_(quiet), out_(out), err_(err), errIsTerminal_(isatty(fileno(err)) == 1) {}

int BatchConsole::Columns() const {
  winsize ws{};
  if (ioctl(fileno(err_), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

void BatchConsole::ClearProgressLocked() {
  if (!lineShown_) return;
  std::fputs("\r\x1b[K", err_);
  std::fflush(err_);
  lineShown_ = false;
}

void BatchConsole::Progress(const std::string& line, int percent) {
  if (quiet_) return;
  std::lock_guard lock(mutex_);
  const std::string text = WithoutTrailingBlanks(line);
  if (errIsTerminal_) {
    // One line that rewrites itself; cut to the terminal's width so that it
    // never wraps (a wrapped line could not be rewritten).
    std::string shown = Bar(percent) + text;
    const size_t width = static_cast<size_t>(std::max(Columns() - 1, 10));
    if (shown.size() > width) shown.resize(width);
    std::fprintf(err_, "\r\x1b[K%s", shown.c_str());
    std::fflush(err_);
    lineShown_ = true;
    return;
  }
  // A new pass gets its line at once.
  const std::string pass = text.rfind("[Pass ", 0) == 0 ? text.substr(0, text.find(']') + 1) : "";
  const DWORD now = GetTickCount();
  if (plainShown_ && pass == plainPass_ && now - lastPlainTick_ < kPlainIntervalMs) return;
  plainShown_ = true;
  plainPass_ = pass;
  lastPlainTick_ = now;
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
}

void BatchConsole::EndProgress() {
  std::lock_guard lock(mutex_);
  ClearProgressLocked();
  plainShown_ = false;
  plainPass_.clear();
}

void BatchConsole::Info(const std::string& text) {
  if (quiet_) return;
  std::lock_guard lock(mutex_);
  ClearProgressLocked();
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

void BatchConsole::Error(const std::string& text) {
  std::lock_guard lock(mutex_);
  ClearProgressLocked();
  std::fflush(out_);
  std::fprintf(err_, "batchvc: %s\n", text.c_str());
  std::fflush(err_);
}

bool BatchConsole::Ask(const std::string& question) {
  std::lock_guard lock(mutex_);
  ClearProgressLocked();
  if (isatty(STDIN_FILENO) != 1) return false;
  std::fprintf(err_, "%s [y/N] ", question.c_str());
  std::fflush(err_);
  // The answer is read a byte at a time, with a look at the stop signal
  // every 200 ms: Ctrl-C while the question waits is a No.
  std::string answer;
  while (true) {
    if (StopSignalled()) {
      std::fputc('\n', err_);
      return false;
    }
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&p, 1, 200);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char c = 0;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    answer.push_back(c);
  }
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

void BatchConsole::FileStopping(const std::string& output) {
  Error("stopping: finishing " + output + " (Ctrl-C again quits at once, leaving it unusable)");
}

