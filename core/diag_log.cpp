#include "core/diag_log.h"

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

void PruneLogFile() {
  std::string path = LogFilePath();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    path = "Corvane.elog";
    f = std::fopen(path.c_str(), "rb");
  }
  if (!f) return;
  bool tooLarge = std::fseek(f, 0, SEEK_END) == 0 && std::ftell(f) > kLogSizeLimit;
  std::fclose(f);
  if (tooLarge) std::remove(path.c_str());
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

bool DecodeLogLine(const std::string& line, DWORD* tick, std::string* text) {
  size_t n = line.size();
  if (n && line[n - 1] == '\n') --n;
  if (n && line[n - 1] == '\r') --n;
  if (n < 8 || (n - 8) % 2 != 0) return false;
  DWORD t = 0;
  for (size_t i = 0; i < 8; ++i) {
    int d = HexValue(line[i]);
    if (d < 0) return false;
    t = (t << 4) | static_cast<DWORD>(d);
  }
  std::string out;
  out.reserve((n - 8) / 2);
  BYTE key = static_cast<BYTE>((t % 256) ^ kLogScrambleKey);
  for (size_t i = 8; i < n; i += 2) {
    int hi = HexValue(line[i]), lo = HexValue(line[i + 1]);
    if (hi < 0 || lo < 0) return false;
    BYTE b = static_cast<BYTE>(key ^ (hi * 16 + lo));
    out.push_back(static_cast<char>(b));
    key = static_cast<BYTE>(key ^ b);
  }
  *tick = t;
  *text = std::move(out);
  return true;
}
