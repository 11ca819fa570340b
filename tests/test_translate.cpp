#include "settings/translate.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

TEST(Translate, EntriesFollowTheFileFormat) {
  auto t = ParseLanguageText("header ignored\n@Error\nW\n");
  ASSERT_EQ(t.count("Error"), 1u);
  EXPECT_EQ(t["Error"], "\nW");

  t = ParseLanguageText("@Key\nA\nB\n\n\f\n");
  EXPECT_EQ(t["Key"], "\nA\n\nB");

  t = ParseLanguageText("@Key with blanks  \t\nV\n@Key with blanks\nSecond\n@Last");
  EXPECT_EQ(t.size(), 2u);
  EXPECT_EQ(t["Key with blanks"], "\nSecond");
  EXPECT_EQ(t["Last"], "");

  // A line longer than 1023 bytes is read in pieces that count as lines.
  std::string longValue(1500, 'x');
  t = ParseLanguageText("@Long\n" + longValue + "\n");
  EXPECT_EQ(t["Long"], "\n" + std::string(1023, 'x') + "\n" + std::string(477, 'x'));
}

TEST(Translate, LooksUpTheLoadedFileAndPassesOtherTextsThrough) {
  TempDir dir;
  LoadLanguageTable(dir.file("absent.txt"));
  EXPECT_EQ(translate("Error"), "Error");

  WriteFileBytes(dir.file("lang_eng.txt"), "@No privilege to shutdown\r\nNot allowed\r\n@Error \r\nFault\r\n");
  LoadLanguageTable(dir.file("lang_eng.txt"));
  EXPECT_EQ(translate("No privilege to shutdown"), "\nNot allowed");
  EXPECT_EQ(translate("Error"), "\nFault");
  EXPECT_EQ(translate("error"), "error");
  EXPECT_EQ(translate(""), "");
}
