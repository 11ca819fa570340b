#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/diag_log.h"
#include "app/logreader/log_reader.h"
#include "tests/support/test_support.h"

TEST(LogReader, DecodesWhatTheLogWroteWithTicksAndMarksDamagedLines) {
  TempDir dir;
  SetLogFilePath(dir.file("Corvane.elog"));
  WriteLog("Processor: %d MHz  %s", 2400, "Test CPU");
  WriteLogLine("");
  WriteLogLine("two\nlines");
  SetLogFilePath("");
  std::string log = ReadFileBytes(dir.file("Corvane.elog"));
  // The tick digits of the second line alone.
  size_t second = log.find('\n') + 1;
  EXPECT_EQ(log.find('\n', second) - second, 8u);

  WriteFileBytes(dir.file("Corvane.elog"), log + "0000ZZZZ41\n");
  int code = -1;
  std::string out = RunCommand("./corvane-log '" + dir.file("Corvane.elog") + "' 2>/dev/null", &code);
  EXPECT_NE(code, 0);  // a damaged line is reported
  std::string decoded;
  LogReadCounts counts = DecodeLogText(log, &decoded);
  EXPECT_EQ(counts.lines, 3);
  EXPECT_EQ(counts.damaged, 0);
  EXPECT_EQ(out.substr(0, decoded.size()), decoded);
  EXPECT_NE(out.find("line 4 is not a log line"), std::string::npos) << out;
  EXPECT_EQ(decoded.substr(8, 30), " Processor: 2400 MHz  Test CPU");
  EXPECT_NE(decoded.find(" two\\nlines\n"), std::string::npos);

  DWORD tick = 0;
  std::string text;
  EXPECT_TRUE(DecodeLogLine(ScrambleLogLine(0xDEADBEEF, "abc") + "\r\n", &tick, &text));
  EXPECT_EQ(tick, 0xDEADBEEFu);
  EXPECT_EQ(text, "abc");
  EXPECT_FALSE(DecodeLogLine("1234567", &tick, &text));
  EXPECT_FALSE(DecodeLogLine("123456780", &tick, &text));
}

TEST(LogReader, SizeLimitKeeps524288BytesAndDeletesOneMore) {
  TempDir dir;
  SetLogFilePath(dir.file("Corvane.elog"));
  WriteFileBytes(dir.file("Corvane.elog"), std::string(524288, 'A'));
  PruneLogFile();
  EXPECT_TRUE(std::filesystem::exists(dir.file("Corvane.elog")));
  WriteFileBytes(dir.file("Corvane.elog"), std::string(524289, 'A'));
  PruneLogFile();
  EXPECT_FALSE(std::filesystem::exists(dir.file("Corvane.elog")));
  SetLogFilePath("");
}
