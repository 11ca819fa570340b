#include "core/diag_log.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace {
// Undoes the XOR chain of one body (hex digits after the eight tick digits).
std::string Unscramble(const std::string& line) {
  unsigned tick = std::stoul(line.substr(0, 8), nullptr, 16);
  unsigned char key = static_cast<unsigned char>((tick % 256) ^ kLogScrambleKey);
  std::string text;
  for (size_t i = 8; i + 1 < line.size(); i += 2) {
    unsigned char c = static_cast<unsigned char>(std::stoul(line.substr(i, 2), nullptr, 16));
    unsigned char b = c ^ key;
    text.push_back(static_cast<char>(b));
    key ^= b;
  }
  return text;
}
}  // namespace

TEST(DiagLog, LineHasTickAndTwoHexDigitsPerByteAndDecodesBack) {
  std::string line = ScrambleLogLine(0x1234ABCD, "Hello, log\n");
  EXPECT_EQ(line.substr(0, 8), "1234ABCD");
  EXPECT_EQ(line.size(), 8u + 2u * 11u);
  EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(Unscramble(line), "Hello, log\n");
  EXPECT_EQ(ScrambleLogLine(0xFF, ""), "000000FF");
}

TEST(DiagLog, LongTextIsCutAt1023AndLinesFromThreadsStayWhole) {
  TempDir dir;
  SetLogFilePath(dir.file("Corvane.elog"));
  std::string longText(3000, 'x');
  WriteLog("%s", longText.c_str());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) WriteLog("thread %d line %d", t, i);
    });
  for (auto& th : threads) th.join();
  SetLogFilePath("");

  std::string all = ReadFileBytes(dir.file("Corvane.elog"));
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(all.substr(start, nl - start));
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(Unscramble(lines[0]), std::string(1023, 'x'));
  for (size_t i = 1; i < lines.size(); ++i)
    EXPECT_EQ(Unscramble(lines[i]).rfind("thread ", 0), 0u) << lines[i];
}
