#pragma once
// Facts about the machine the program runs on, read from Linux: the
// distribution and kernel, memory, processors, the media library's version,
// processor usage, and the system's power-off request. The parsers take the
// text of the files so that damaged or unusual input can be tested; they
// never throw and fall back to empty or zero values.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/win_types.h"

// The fields of /etc/os-release that describe the distribution.
struct OsRelease {
  std::string name;        // NAME
  std::string version;     // VERSION
  std::string prettyName;  // PRETTY_NAME
};
OsRelease ParseOsRelease(const std::string& text);
// /etc/os-release, else /usr/lib/os-release; empty fields when neither reads.
OsRelease ReadOsRelease();

struct KernelFacts {
  std::string sysname, release, machine;  // from uname
};
KernelFacts ReadKernel();

// The description of the system as log fragments, one line each: the
// distribution ("Debian GNU/Linux 12 (bookworm) ") and the kernel
// ("Linux 6.1.0-18-amd64 x86_64\n").
std::vector<std::string> OsDescriptionLines(const OsRelease& os, const KernelFacts& kernel);

struct MemoryFacts {
  bool valid = false;            // MemTotal was read
  std::uint64_t totalKiB = 0;
  std::uint64_t availableKiB = 0;  // MemAvailable, or MemFree + Buffers + Cached on old kernels
};
MemoryFacts ParseMemInfo(const std::string& text);
MemoryFacts ReadMemory();

// Processors this process may run on (its affinity mask), at least 1.
int CountProcessors();

// The media layer's version, packed like a library version number:
// major << 16 | minor << 8 | micro (libavcodec 59.37.100 is 0x3B2564). It is
// the lower of libavcodec's and libavformat's run-time versions, since the
// output path needs both.
struct MediaVersion {
  DWORD packed = 0;
  std::string text;  // "libavcodec 59.37.100, libavformat 59.27.100"
};
MediaVersion ReadMediaVersion();

// The designed call: 0 on success; packed and text (cut to textLength bytes,
// always terminated, as "%d.%d.%d") may each be null.
int MediaLayerVersion(DWORD* packed, char* text, size_t textLength);

// Aggregate processor times of the "cpu " line of /proc/stat, in clock ticks.
struct CpuTimes {
  bool valid = false;
  std::uint64_t idle = 0;   // idle + iowait
  std::uint64_t total = 0;  // user .. steal (guest time is already inside user and nice)
};
CpuTimes ParseProcStat(const std::string& text);

// Percent of processor time busy between two calls, over all processors.
// The first call, an unreadable or damaged /proc/stat, or counters that did
// not advance give 0.
class ProcessorUsageSampler {
 public:
  using Reader = std::function<std::string()>;
  ProcessorUsageSampler();  // reads /proc/stat
  explicit ProcessorUsageSampler(Reader reader);
  int Sample();

 private:
  Reader reader_;
  CpuTimes previous_;
};

// The process-wide sampler of the main window's timer.
int ProcessorUsage();

// The command that asks the system to power off. The default is
// "systemctl poweroff --no-ask-password": the request goes through logind and
// polkit, and is refused rather than waiting for a password nobody types
// after an unattended job. Tests put a harmless program in its place.
std::vector<std::string> DefaultPowerOffCommand();
void SetPowerOffCommand(std::vector<std::string> argv);  // empty restores the default
std::vector<std::string> PowerOffCommand();

// Runs the power-off command and waits for it (at most 30 s). True when it
// exited with status 0.
bool RequestPowerOff();

// Reads a whole small file (at most maxBytes); empty when it cannot be read.
std::string ReadSmallTextFile(const std::string& path, size_t maxBytes = 1u << 20);
