#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "platform/sysinfo/sysinfo.h"

CpuTimes ParseProcStat(const std::string& text) {
  CpuTimes t;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 4, "cpu ") != 0) continue;
    // user nice system idle iowait irq softirq steal [guest guest_nice]
    std::uint64_t field[8] = {};
    int count = 0;
    const char* p = line.c_str() + 4;
    while (count < 8) {
      while (*p == ' ' || *p == '\t') ++p;
      if (!std::isdigit(static_cast<unsigned char>(*p))) break;
      errno = 0;
      char* end = nullptr;
      unsigned long long v = std::strtoull(p, &end, 10);
      if (errno == ERANGE) return CpuTimes{};
      field[count++] = v;
      p = end;
    }
    if (count < 4) return CpuTimes{};  // user, nice, system and idle are always there
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
      if (total + field[i] < total) return CpuTimes{};  // overflowing garbage
      total += field[i];
    }
    t.valid = true;
    t.idle = field[3] + field[4];
    t.total = total;
    return t;
  }
  return t;
}

ProcessorUsageSampler::ProcessorUsageSampler()
    : ProcessorUsageSampler([] { return ReadSmallTextFile("/proc/stat", 64 * 1024); }) {}

ProcessorUsageSampler::ProcessorUsageSampler(Reader reader) : reader_(std::move(reader)) {}

int ProcessorUsage() {
  // Called from the user-interface timer only; the lock keeps a second
  // caller from corrupting the baseline all the same.
  static std::mutex mutex;  // guards sampler
  static ProcessorUsageSampler sampler;
  std::lock_guard<std::mutex> lock(mutex);
  return sampler.Sample();
}

int ProcessorUsageSampler::Sample() {
  CpuTimes now = reader_ ? ParseProcStat(reader_()) : CpuTimes{};
  if (!now.valid) return 0;  // keep the last good baseline for the next call
  CpuTimes before = previous_;
  previous_ = now;
  if (!before.valid || now.total <= before.total) return 0;
  // Counters that went backwards (a processor taken offline) give no answer.
  if (now.idle < before.idle) return 0;
  double totalDelta = static_cast<double>(now.total - before.total);
  double idleDelta = static_cast<double>(now.idle - before.idle);
  if (idleDelta > totalDelta) idleDelta = totalDelta;
  return static_cast<int>(100.0 - idleDelta * 100.0 / totalDelta + 0.5);
}
