#include "app/window/crash_report.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "core/diag_log.h"
#include "platform/core/paths.h"
#include "platform/core/threads.h"

namespace {
// Filled at installation; the handler only reads them.
char g_reportPath[4096];
char g_fallbackReportPath[4096];
char g_logPath[4096];
char g_fallbackLogPath[4096];

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void CopyPath(char* dst, const std::string& src) {
  size_t n = std::min(src.size(), size_t{4095});
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

// A text of fixed capacity built without the heap.
struct Text {
  char buf[512];
  size_t len = 0;
  void Add(const char* s) {
    while (*s && len < sizeof(buf)) buf[len++] = *s++;
  }
  void AddHex(unsigned long v, int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i)
      if (len < sizeof(buf)) buf[len++] = kHex[(v >> (4 * i)) & 0xF];
  }
  void AddDecimal(long v) {
    char digits[24];
    int n = 0;
    unsigned long u = v < 0 ? static_cast<unsigned long>(-v) : static_cast<unsigned long>(v);
    do digits[n++] = static_cast<char>('0' + u % 10); while ((u /= 10) && n < 24);
    if (v < 0) Add("-");
    while (n > 0 && len < sizeof(buf)) buf[len++] = digits[--n];
  }
  void WriteTo(int fd) const {
    size_t done = 0;
    while (done < len) {
      ssize_t w = ::write(fd, buf + done, len - done);
      if (w <= 0) return;
      done += static_cast<size_t>(w);
    }
  }
};

int OpenAppend(const char* path) {
  if (!path[0]) return -1;
  return ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

// The diagnostic log's line for text, scrambled as WriteLogLine does, but
// formatted on the stack: the heap may be what broke.
void WriteLogLineFromHandler(const char* text) {
  DWORD tick = GetTickCount();
  Text line;
  line.AddHex(tick, 8);
  BYTE key = static_cast<BYTE>((tick % 256) ^ kLogScrambleKey);
  for (const char* p = text; *p; ++p) {
    BYTE b = static_cast<BYTE>(*p);
    line.AddHex(static_cast<BYTE>(key ^ b), 2);
    key = static_cast<BYTE>(key ^ b);
  }
  line.Add("\n");
  int fd = OpenAppend(g_logPath);
  if (fd < 0) fd = OpenAppend(g_fallbackLogPath);
  if (fd < 0) return;
  line.WriteTo(fd);
  ::close(fd);
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
  int fd = OpenAppend(g_reportPath);
  if (fd < 0) fd = OpenAppend(g_fallbackReportPath);
  WriteLogLineFromHandler("*** Exception Catched ***");
  if (fd >= 0) {
    Text head;
    head.Add("Corvane Video Converter 4.5 Build 02\nsignal ");
    head.AddDecimal(sig);
    head.Add(" (");
    head.Add(sigabbrev_np(sig) ? sigabbrev_np(sig) : "?");
    head.Add(") at address 0x");
    head.AddHex(reinterpret_cast<unsigned long>(info ? info->si_addr : nullptr), 16);
    head.Add(", process ");
    head.AddDecimal(::getpid());
    head.Add(", tick ");
    head.AddDecimal(static_cast<long>(GetTickCount()));
    head.Add("\nstack:\n");
    head.WriteTo(fd);
    void* frames[64];
    int n = backtrace(frames, 64);
    backtrace_symbols_fd(frames, n, fd);
    Text end;
    end.Add("\n");
    end.WriteTo(fd);
    ::close(fd);
  }
  // SA_RESETHAND put the default action back: the signal raised again ends
  // the process with its usual status and core dump.
  ::raise(sig);
}
}  // namespace

std::string CrashReportPath() { return JoinPath(TempFolder(), "Corvane.elf"); }

std::string FallbackCrashReportPath(const std::string& programFolder) {
  return JoinPath(programFolder, "Corvane.elf");
}

void InstallCrashReport(const std::string& programFolder) {
  CopyPath(g_reportPath, CrashReportPath());
  CopyPath(g_fallbackReportPath, FallbackCrashReportPath(programFolder));
  CopyPath(g_logPath, LogFilePath());
  CopyPath(g_fallbackLogPath, FallbackLogFilePath());
  // backtrace loads its unwinder on first use; do that now, not in the handler.
  void* warm[2];
  backtrace(warm, 2);
  struct sigaction sa {};
  sa.sa_sigaction = OnFatalSignal;
  sa.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int sig : kFatalSignals) sigaction(sig, &sa, nullptr);
}
