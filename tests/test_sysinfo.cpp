#include "platform/sysinfo/sysinfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <deque>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

TEST(OsRelease, ReadsQuotedAndBareValuesAndSurvivesGarbage) {
  OsRelease os = ParseOsRelease(
      "# comment\n"
      "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
      "NAME='Debian GNU/Linux'\n"
      "VERSION=12\r\n"
      "ID=debian\n");
  EXPECT_EQ(os.prettyName, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(os.name, "Debian GNU/Linux");
  EXPECT_EQ(os.version, "12");

  // Escapes inside double quotes; an unterminated quote ends at the line end.
  os = ParseOsRelease("PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/\"\nNAME=\"Open\n");
  EXPECT_EQ(os.prettyName, "Say \"hi\" \\o/");
  EXPECT_EQ(os.name, "Open");

  // Control bytes never reach the log; a huge value is cut.
  os = ParseOsRelease(std::string("PRETTY_NAME=A\x01\x1b[31mB\nNAME=") + std::string(5000, 'n') + "\n");
  EXPECT_EQ(os.prettyName, "A[31mB");
  EXPECT_EQ(os.name.size(), 200u);

  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 131) & 0xFF));
  os = ParseOsRelease(junk + "\n=\n=\"\nVERSION=\\\n");
  EXPECT_EQ(os.version, "\\");
  EXPECT_TRUE(ParseOsRelease("").prettyName.empty());
}

TEST(OsRelease, DescriptionFallsBackFromPrettyNameToNameAndVersionToLinux) {
  KernelFacts k{"Linux", "6.1.0-18-amd64", "x86_64"};
  auto lines = OsDescriptionLines(OsRelease{"Debian GNU/Linux", "12", "Debian 12 (bookworm)"}, k);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Debian 12 (bookworm) ");
  EXPECT_EQ(lines[1], "Linux 6.1.0-18-amd64 x86_64\n");

  EXPECT_EQ(OsDescriptionLines(OsRelease{"Arch Linux", "", ""}, k)[0], "Arch Linux ");
  EXPECT_EQ(OsDescriptionLines(OsRelease{"Fedora", "39", ""}, k)[0], "Fedora 39 ");
  lines = OsDescriptionLines(OsRelease{}, KernelFacts{});
  EXPECT_EQ(lines[0], "Linux ");
  EXPECT_EQ(lines[1], "Linux\n");
}

TEST(MemInfo, ReadsTotalAndAvailableWithTheOldKernelFallback) {
  MemoryFacts m = ParseMemInfo(
      "MemTotal:       16303428 kB\n"
      "MemFree:         1234567 kB\n"
      "MemAvailable:    9876543 kB\n"
      "Buffers:          100000 kB\n");
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(m.totalKiB, 16303428u);
  EXPECT_EQ(m.availableKiB, 9876543u);

  m = ParseMemInfo("MemTotal: 2000000 kB\nMemFree: 500000 kB\nBuffers: 1000 kB\nCached: 200000 kB\n");
  EXPECT_EQ(m.availableKiB, 701000u);

  // Available is never more than the total, whatever the file claims.
  m = ParseMemInfo("MemAvailable: 900 kB\nMemTotal: 800 kB\n");
  EXPECT_EQ(m.availableKiB, 800u);
}

TEST(MemInfo, DamagedValuesAreNotTaken) {
  EXPECT_FALSE(ParseMemInfo("").valid);
  EXPECT_FALSE(ParseMemInfo("MemTotal: lots kB\n").valid);
  EXPECT_FALSE(ParseMemInfo("MemTotal: -5 kB\n").valid);
  EXPECT_FALSE(ParseMemInfo("MemTotal: 99999999999999999999999 kB\n").valid);
  EXPECT_FALSE(ParseMemInfo("MemTotal 1000 kB\nmemtotal: 1000 kB\n").valid);
  MemoryFacts m = ParseMemInfo(std::string("\0\xff:\n:", 5) + "\nMemTotal:\t4096 kB");
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(m.totalKiB, 4096u);
  EXPECT_EQ(m.availableKiB, 0u);
}

TEST(ProcStat, TakesTheAggregateLineWithoutGuestTime) {
  CpuTimes t = ParseProcStat(
      "cpu0 1 1 1 1 1 1 1 1 0 0\n"
      "cpu  100 20 30 800 50 5 5 10 77 33\n"
      "intr 12345\n");
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(t.idle, 850u);
  EXPECT_EQ(t.total, 1020u);

  // Old kernels have only four fields.
  t = ParseProcStat("cpu  1 2 3 4\n");
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(t.idle, 4u);
  EXPECT_EQ(t.total, 10u);
}

TEST(ProcStat, DamagedLinesAreInvalid) {
  EXPECT_FALSE(ParseProcStat("").valid);
  EXPECT_FALSE(ParseProcStat("cpu0 1 2 3 4 5\n").valid);
  EXPECT_FALSE(ParseProcStat("cpu  1 2 3\n").valid);
  EXPECT_FALSE(ParseProcStat("cpu  1 2 x 4 5\n").valid);
  EXPECT_FALSE(ParseProcStat("cpu  -1 2 3 4\n").valid);
  EXPECT_FALSE(ParseProcStat("cpu  99999999999999999999999 2 3 4\n").valid);
  EXPECT_FALSE(ParseProcStat("cpu  18446744073709551615 1 1 1\n").valid);  // sum overflows
}

namespace {
// A /proc/stat whose aggregate line has the given busy (user) and idle ticks.
std::string Stat(unsigned long long busy, unsigned long long idle) {
  return "cpu  " + std::to_string(busy) + " 0 0 " + std::to_string(idle) + " 0 0 0 0 0 0\n";
}
}  // namespace

TEST(ProcessorUsage, PercentBusyBetweenCallsAndZeroWithoutAnAnswer) {
  std::deque<std::string> texts = {Stat(1000, 9000), Stat(1250, 9750), Stat(1250, 9750),
                                   "garbage",        Stat(1350, 9750), Stat(1300, 9700),
                                   Stat(1301, 9702)};
  ProcessorUsageSampler sampler([&] {
    std::string t = texts.front();
    texts.pop_front();
    return t;
  });
  EXPECT_EQ(sampler.Sample(), 0);   // first call: no baseline
  EXPECT_EQ(sampler.Sample(), 25);  // 250 busy of 1000
  EXPECT_EQ(sampler.Sample(), 0);   // nothing elapsed: no division by zero
  EXPECT_EQ(sampler.Sample(), 0);   // damaged read
  EXPECT_EQ(sampler.Sample(), 100);  // measured against the last good read
  EXPECT_EQ(sampler.Sample(), 0);   // counters went backwards
  EXPECT_EQ(sampler.Sample(), 33);  // 1 of 3, rounded: baseline moved on
}

TEST(ProcessorUsage, RoundsToTheNearestPercent) {
  std::deque<std::string> texts = {Stat(0, 0), Stat(2, 998), Stat(7, 1993)};
  ProcessorUsageSampler sampler([&] {
    std::string t = texts.front();
    texts.pop_front();
    return t;
  });
  sampler.Sample();
  EXPECT_EQ(sampler.Sample(), 0);  // 0.2 %
  EXPECT_EQ(sampler.Sample(), 1);  // 0.5 %
}

TEST(MachineFacts, ReadFromThisMachine) {
  MemoryFacts m = ReadMemory();
  EXPECT_TRUE(m.valid);
  EXPECT_GT(m.totalKiB, 0u);
  EXPECT_LE(m.availableKiB, m.totalKiB);

  int n = CountProcessors();
  EXPECT_GE(n, 1);
  EXPECT_LE(n, static_cast<int>(sysconf(_SC_NPROCESSORS_CONF)));

  EXPECT_EQ(ReadKernel().sysname, "Linux");
  EXPECT_FALSE(ReadKernel().release.empty());
  if (access("/etc/os-release", R_OK) == 0 || access("/usr/lib/os-release", R_OK) == 0) {
    EXPECT_FALSE(ReadOsRelease().name.empty());
  }

  ProcessorUsageSampler sampler;
  EXPECT_EQ(sampler.Sample(), 0);
  usleep(200 * 1000);
  int usage = sampler.Sample();
  EXPECT_GE(usage, 0);
  EXPECT_LE(usage, 100);
}

TEST(MediaVersion, IsTheOlderOfCodecAndFormatLibraries) {
  MediaVersion v = ReadMediaVersion();
  unsigned codec = avcodec_version(), format = avformat_version();
  EXPECT_EQ(v.packed, codec < format ? codec : format);
  char expected[80];
  snprintf(expected, sizeof(expected), "libavcodec %u.%u.%u, libavformat %u.%u.%u", codec >> 16,
           (codec >> 8) & 0xFF, codec & 0xFF, format >> 16, (format >> 8) & 0xFF, format & 0xFF);
  EXPECT_EQ(v.text, expected);

  DWORD packed = 0;
  char text[32];
  ASSERT_EQ(MediaLayerVersion(&packed, text, sizeof(text)), 0);
  EXPECT_EQ(packed, v.packed);
  EXPECT_EQ(std::to_string(packed >> 16) + "." + std::to_string((packed >> 8) & 0xFF) + "." +
                std::to_string(packed & 0xFF),
            text);

  // A short buffer is cut and terminated; absent outputs are allowed.
  char shortText[4];
  std::memset(shortText, 'z', sizeof(shortText));
  EXPECT_EQ(MediaLayerVersion(nullptr, shortText, sizeof(shortText)), 0);
  EXPECT_EQ(std::string(shortText), std::string(text).substr(0, 3));
  EXPECT_EQ(MediaLayerVersion(nullptr, nullptr, 0), 0);
}

TEST(PowerOff, ReportsWhetherTheCommandSucceeded) {
  // The default asks systemd; it is never run here.
  SetPowerOffCommand({});
  EXPECT_EQ(PowerOffCommand(), (std::vector<std::string>{"systemctl", "poweroff", "--no-ask-password"}));

  SetPowerOffCommand({"/bin/true"});
  EXPECT_TRUE(RequestPowerOff());
  SetPowerOffCommand({"/bin/false"});
  EXPECT_FALSE(RequestPowerOff());
  SetPowerOffCommand({"sh", "-c", "kill -9 $$"});  // found through PATH; killed, not refused
  EXPECT_FALSE(RequestPowerOff());
  SetPowerOffCommand({"/nonexistent/corvane-poweroff"});
  EXPECT_FALSE(RequestPowerOff());
  SetPowerOffCommand({"/bin/true"});
}
