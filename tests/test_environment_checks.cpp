#include "platform/sysinfo/environment_checks.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "settings/translate.h"
#include "tests/support/test_support.h"

namespace {
// The texts of the log's lines, in order.
std::vector<std::string> LogTexts(const std::string& path) {
  std::vector<std::string> texts;
  std::istringstream lines(ReadFileBytes(path));
  std::string line;
  while (std::getline(lines, line)) {
    DWORD tick = 0;
    std::string text;
    if (DecodeLogLine(line, &tick, &text)) texts.push_back(text);
  }
  return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  for (const std::string& t : texts)
    if (t == text) return true;
  return false;
}

EnvironmentFacts SampleFacts() {
  EnvironmentFacts f;
  f.osDescription = {"Debian GNU/Linux 12 (bookworm) ", "Linux 6.1.0-18-amd64 x86_64\n"};
  f.mediaVersionKnown = true;
  f.media.packed = 0x3B2564;
  f.media.text = "libavcodec 59.37.100, libavformat 59.27.100";
  f.processorMHz = 2400;
  f.processorName = "Example CPU @ 2.40GHz";
  f.processorCount = 4;
  f.memory.valid = true;
  f.memory.totalKiB = 16303428;
  f.memory.availableKiB = 9876543;
  return f;
}

class EnvironmentChecks : public ::testing::Test {
 protected:
  void SetUp() override { SetLogFilePath(dir.file("Corvane.elog")); }
  void TearDown() override { SetLogFilePath(""); }
  std::vector<std::string> Log() { return LogTexts(dir.file("Corvane.elog")); }
  TempDir dir;
  ScriptedMessageBox box;
};
}  // namespace

TEST_F(EnvironmentChecks, LogsTheFactsInTheDesignedOrder) {
  int listed = 0;
  RunStartupChecks(SampleFacts(), [&] {
    ++listed;
    return 0;
  });
  std::vector<std::string> expected = {
      "",
      "4.5 Build 02",
      "Corvane Video Converter",
      "",
      "Debian GNU/Linux 12 (bookworm) ",
      "Linux 6.1.0-18-amd64 x86_64\n",
      "DirectX version: libavcodec 59.37.100, libavformat 59.27.100",
      "DirectX version : 3b2564",
      "",
      "Processor: 2400 MHz  Example CPU @ 2.40GHz",
      "Number of Processors : 4",
      "",
      "Total physical memory: 15921MB",
      "Available physical memory: 9645MB",
      "DVD decoders are not installed. Convert video files only.",
  };
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(listed, 1);
  EXPECT_TRUE(box.texts.empty());
  EXPECT_EQ(Frame().ProcessorCount, 4);
  EXPECT_TRUE(HasSeveralProcessors());
}

TEST_F(EnvironmentChecks, WarnsOnlyWhenTheMediaLayerIsOlderThan59) {
  EnvironmentFacts f = SampleFacts();
  f.media.packed = 0x3B0000;  // 59.0.0: just new enough
  RunStartupChecks(f);
  EXPECT_TRUE(box.texts.empty());

  f.media.packed = 0x3AFFFF;  // 58.255.255
  RunStartupChecks(f);
  ASSERT_EQ(box.texts.size(), 1u);
  EXPECT_EQ(box.texts[0], kMediaTooOldText);
  EXPECT_EQ(box.kinds[0], MsgKind::Warning);
  EXPECT_TRUE(Contains(Log(), "DirectX version : 3affff"));

  // Start-up goes on after the warning, and a version that could not be
  // determined counts as 0 and warns too.
  f.mediaVersionKnown = false;
  RunStartupChecks(f);
  EXPECT_EQ(box.texts.size(), 2u);
  std::vector<std::string> log = Log();
  EXPECT_TRUE(Contains(log, "DirectX version : 0"));
  EXPECT_EQ(log.back(), "Available physical memory: 9645MB");
}

TEST_F(EnvironmentChecks, FailedQueriesLeaveTheirLinesOutOrAtDefaults) {
  EnvironmentFacts f = SampleFacts();
  f.memory = MemoryFacts{};
  f.processorMHz = 0;
  f.processorName.clear();
  f.processorCount = 0;  // a count that could not be read is one processor
  f.media.text.clear();
  RunStartupChecks(f, [] { return 2; });
  std::vector<std::string> log = Log();
  EXPECT_TRUE(Contains(log, "Processor: 0 MHz  "));
  EXPECT_TRUE(Contains(log, "Number of Processors : 1"));
  for (const std::string& t : log) {
    EXPECT_EQ(t.find("physical memory"), std::string::npos) << t;
    EXPECT_EQ(t.find("DirectX version:"), std::string::npos) << t;
    EXPECT_EQ(t.find("DVD decoders"), std::string::npos) << t;
  }
  EXPECT_EQ(Frame().ProcessorCount, 1);
  EXPECT_FALSE(HasSeveralProcessors());

  // Sizes beyond what "%d" holds are held at its limit.
  f.memory.valid = true;
  f.memory.totalKiB = f.memory.availableKiB = 1ull << 62;
  RunStartupChecks(f);
  EXPECT_TRUE(Contains(Log(), "Total physical memory: 2147483647MB"));
}

TEST_F(EnvironmentChecks, FactsOfThisMachine) {
  EnvironmentFacts f = GatherEnvironmentFacts();
  EXPECT_EQ(f.osDescription.size(), 2u);
  EXPECT_EQ(f.processorCount, CountProcessors());
  EXPECT_FALSE(f.processorName.empty());
  EXPECT_TRUE(f.memory.valid);
  EXPECT_GE(f.media.packed, kOldestMediaVersion);  // the build needs FFmpeg 5 or later

  RunStartupChecks();
  EXPECT_TRUE(box.texts.empty());
  std::vector<std::string> log = Log();
  EXPECT_TRUE(Contains(log, "Number of Processors : " + std::to_string(CountProcessors())));
  EXPECT_TRUE(Contains(log, "Processor: " + std::to_string(f.processorMHz) + " MHz  " + f.processorName));
}

TEST_F(EnvironmentChecks, ARefusedShutdownIsReportedAsFailure) {
  SetPowerOffCommand({"/bin/false"});
  LoadLanguageTable(dir.file("absent.txt"));
  EXPECT_FALSE(ShutDownComputer());
  ASSERT_EQ(box.texts.size(), 1u);
  EXPECT_EQ(box.texts[0], "Error: No privilege to shutdown");
  EXPECT_EQ(box.kinds[0], MsgKind::Error);
  EXPECT_TRUE(Contains(Log(), "No privilege to shutdown"));

  // Both texts go through the language table.
  WriteFileBytes(dir.file("lang_eng.txt"), "@No privilege to shutdown\nNot allowed\n@Error\nFault\n");
  LoadLanguageTable(dir.file("lang_eng.txt"));
  EXPECT_FALSE(ShutDownComputer());
  ASSERT_EQ(box.texts.size(), 2u);
  EXPECT_EQ(box.texts[1], "\nFault: \nNot allowed");
  LoadLanguageTable(dir.file("absent.txt"));

  SetPowerOffCommand({"/bin/true"});
  EXPECT_TRUE(ShutDownComputer());
  EXPECT_EQ(box.texts.size(), 2u);
}
