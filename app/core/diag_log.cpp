#include "app/core/diag_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/core/paths.h"
#include "platform/core/threads.h"

namespace {
struct LogState {
  std::mutex mutex;  // guards the two paths below (set on the UI thread, read anywhere)
  std::string path;
  std::string programFolder;
};

LogState& State() {
  static LogState s;
  return s;
}

void AppendHexByte(std::string& out, unsigned v) {
  static const char kHex[] = "0123456789ABCDEF";
  out.push_back(kHex[(v >> 4) & 0xF]);
  out.push_back(kHex[v & 0xF]);
}
}  // namespace

std::string ScrambleLogLine(DWORD tick, const std::string& text) {
  char head[16];
  std::snprintf(head, sizeof(head), "%08X", tick);
  std::string line(head);
  line.reserve(8 + 2 * text.size());
  BYTE key = static_cast<BYTE>((tick % 256) ^ kLogScrambleKey);
  for (unsigned char b : text) {
    AppendHexByte(line, static_cast<BYTE>(key ^ b));
    key = static_cast<BYTE>(key ^ b);
  }
  return line;
}

std::string LogFilePath() {
  std::lock_guard<std::mutex> lock(State().mutex);
  if (!State().path.empty()) return State().path;
  return JoinPath(TempFolder(), "Corvane.elog");
}

std::string FallbackLogFilePath() {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    folder = State().programFolder;
  }
  if (folder.empty()) folder = ExecutableFolder();
  return JoinPath(folder, "Corvane.elog");
}

void SetLogFilePath(const std::string& path) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().path = path;
}

void SetLogProgramFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().programFolder = folder;
}

void WriteLogLine(const char* text) {
  // Each call opens, appends one whole line with a single write and closes,
  // so lines from different threads never interleave inside a line.
  std::string line = ScrambleLogLine(GetTickCount(), text ? text : "");
  line.push_back('\n');
  FILE* f = std::fopen(LogFilePath().c_str(), "ab");
  if (!f) f = std::fopen(FallbackLogFilePath().c_str(), "ab");
  if (!f) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
}

void WriteLog(const char* format, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(buf, sizeof(buf), format, ap);
  va_end(ap);
  WriteLogLine(buf);
}
