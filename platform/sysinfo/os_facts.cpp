#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/sysinfo/sysinfo.h"

namespace {
// Longer values are cut: they end up in one log line.
constexpr size_t kMaxFieldLength = 200;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// A shell-style value: quoted with " (backslash escapes) or ', or bare.
// Control characters are dropped so that a value never splits a log line.
std::string UnquoteValue(const std::string& raw) {
  std::string v = Trim(raw), out;
  char quote = 0;
  size_t i = 0;
  if (!v.empty() && (v[0] == '"' || v[0] == '\'')) quote = v[i++];
  for (; i < v.size() && out.size() < kMaxFieldLength; ++i) {
    char c = v[i];
    if (quote && c == quote) break;
    if (quote == '"' && c == '\\' && i + 1 < v.size()) c = v[++i];
    if (std::iscntrl(static_cast<unsigned char>(c))) continue;
    out.push_back(c);
  }
  return out;
}

// Parses an unsigned decimal number at the start of s (after blanks).
bool ParseUnsigned(const std::string& s, std::uint64_t* value) {
  size_t i = s.find_first_not_of(" \t");
  if (i == std::string::npos || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(s.c_str() + i, &end, 10);
  if (errno == ERANGE) return false;
  *value = v;
  return true;
}
}  // namespace

std::string ReadSmallTextFile(const std::string& path, size_t maxBytes) {
  // /proc files report a size of 0, so read until the end.
  std::ifstream in(path, std::ios::binary);
  std::string text;
  char buf[4096];
  while (in && text.size() < maxBytes) {
    in.read(buf, static_cast<std::streamsize>(std::min(sizeof(buf), maxBytes - text.size())));
    text.append(buf, static_cast<size_t>(in.gcount()));
  }
  return text;
}

OsRelease ParseOsRelease(const std::string& text) {
  OsRelease os;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Trim(line.substr(0, eq));
    std::string value = UnquoteValue(line.substr(eq + 1));
    if (key == "NAME") os.name = value;
    else if (key == "VERSION") os.version = value;
    else if (key == "PRETTY_NAME") os.prettyName = value;
  }
  return os;
}

OsRelease ReadOsRelease() {
  std::string text = ReadSmallTextFile("/etc/os-release", 64 * 1024);
  if (text.empty()) text = ReadSmallTextFile("/usr/lib/os-release", 64 * 1024);
  return ParseOsRelease(text);
}

KernelFacts ReadKernel() {
  KernelFacts k;
  struct utsname u;
  if (uname(&u) == 0) {
    k.sysname = u.sysname;
    k.release = u.release;
    k.machine = u.machine;
  }
  return k;
}

std::vector<std::string> OsDescriptionLines(const OsRelease& os, const KernelFacts& kernel) {
  std::string distribution = os.prettyName;
  if (distribution.empty()) distribution = Trim(os.name + " " + os.version);
  if (distribution.empty()) distribution = "Linux";
  std::string sysname = kernel.sysname.empty() ? "Linux" : kernel.sysname;
  std::string kernelLine = sysname;
  if (!kernel.release.empty()) kernelLine += " " + kernel.release;
  if (!kernel.machine.empty()) kernelLine += " " + kernel.machine;
  return {distribution + " ", kernelLine + "\n"};
}

MemoryFacts ParseMemInfo(const std::string& text) {
  MemoryFacts m;
  bool haveAvailable = false;
  std::uint64_t freeKiB = 0, buffersKiB = 0, cachedKiB = 0;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, colon);
    std::uint64_t v = 0;
    if (!ParseUnsigned(line.substr(colon + 1), &v)) continue;
    if (key == "MemTotal") {
      m.totalKiB = v;
      m.valid = true;
    } else if (key == "MemAvailable") {
      m.availableKiB = v;
      haveAvailable = true;
    } else if (key == "MemFree") {
      freeKiB = v;
    } else if (key == "Buffers") {
      buffersKiB = v;
    } else if (key == "Cached") {
      cachedKiB = v;
    }
  }
  // Kernels before 3.14 have no MemAvailable; this sum is what it replaced.
  if (!haveAvailable) m.availableKiB = freeKiB + buffersKiB + cachedKiB;
  if (m.availableKiB > m.totalKiB) m.availableKiB = m.totalKiB;
  return m;
}

MemoryFacts ReadMemory() { return ParseMemInfo(ReadSmallTextFile("/proc/meminfo")); }

int CountProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  if (online > 0) return static_cast<int>(online);
  unsigned hc = std::thread::hardware_concurrency();
  return hc > 0 ? static_cast<int>(hc) : 1;
}
