// The batch converter's command line: times, option forms and the
// combinations it refuses before anything is converted.
#include <gtest/gtest.h>

#include "app/batch/batch_options.h"

namespace {
TEST(ParseSeconds, TakesWholeSecondsAndClockTimes) {
  EXPECT_EQ(ParseSeconds("0"), 0);
  EXPECT_EQ(ParseSeconds("90"), 90);
  EXPECT_EQ(ParseSeconds("1:30"), 90);
  EXPECT_EQ(ParseSeconds("0:01:30"), 90);
  EXPECT_EQ(ParseSeconds("2:00:05"), 7205);
  EXPECT_EQ(ParseSeconds("100:00:00"), 360000);
  for (const char* bad : {"", "1.5", "-3", "+3", "1:60", "1:5:60", "1:2:3:4", ":30", "1:", "1::2", "abc", "3s",
                          "99999999999"})
    EXPECT_FALSE(ParseSeconds(bad).has_value()) << bad;
}

BatchOptions Parsed(std::vector<std::string> args, std::string* error = nullptr) {
  BatchOptions o;
  const std::string e = ParseBatchOptions(args, &o);
  if (error) *error = e;
  else EXPECT_EQ(e, "");
  return o;
}

TEST(ParseBatchOptions, ReadsBothOptionFormsAndMakesPathsAbsolute) {
  const BatchOptions o = Parsed({"--profile=PSP AVC 320x240", "--start", "1:00", "--duration=30", "--passes", "2",
                                 "--bitrate", "768", "-y", "--title", "", "a.mp4", "--", "-b.mp4"});
  EXPECT_EQ(o.mode, BatchMode::Convert);
  EXPECT_EQ(o.profile, "PSP AVC 320x240");
  EXPECT_EQ(o.startSec, 60);
  EXPECT_EQ(o.durationSec, 30);
  EXPECT_EQ(o.passes, 2);
  EXPECT_EQ(o.videoKbps, 768);
  EXPECT_TRUE(o.yes);
  ASSERT_TRUE(o.title.has_value());
  EXPECT_EQ(*o.title, "");
  ASSERT_EQ(o.files.size(), 2u);
  EXPECT_EQ(o.files[0][0], '/');
  EXPECT_EQ(o.files[0].substr(o.files[0].size() - 6), "/a.mp4");
  EXPECT_EQ(o.files[1].substr(o.files[1].size() - 7), "/-b.mp4") << "after -- a name may begin with '-'";
}

TEST(ParseBatchOptions, ModesTakeTheirFiles) {
  EXPECT_EQ(Parsed({"--demo"}).mode, BatchMode::Demo);
  EXPECT_EQ(Parsed({"--list-profiles"}).mode, BatchMode::ListProfiles);
  const BatchOptions show = Parsed({"--show-title", "a.MP4", "b.MP4"});
  EXPECT_EQ(show.mode, BatchMode::ShowTitle);
  EXPECT_EQ(show.files.size(), 2u);
  const BatchOptions set = Parsed({"--set-title", "New title", "a.MP4"});
  EXPECT_EQ(set.mode, BatchMode::SetTitle);
  EXPECT_EQ(set.newTitle, "New title");
}

TEST(ParseBatchOptions, RefusesWhatCannotBeMeant) {
  const std::vector<std::vector<std::string>> bad = {
      {},                                         // nothing to convert
      {"--output", "x.MP4", "a.mp4", "b.mp4"},    // one output for two inputs
      {"--output", "x.MP4", "--output-folder", "d", "a.mp4"},
      {"--start", "1.5", "a.mp4"},
      {"--duration", "0", "a.mp4"},
      {"--passes", "3", "a.mp4"},
      {"--bitrate", "fast", "a.mp4"},
      {"--profile"},                              // value missing
      {"--yes=1", "a.mp4"},                       // a flag with a value
      {"--frobnicate", "a.mp4"},
      {"--set-title", "t", "a.MP4", "b.MP4"},
      {"--show-title"},
      {"--demo", "a.mp4"},
  };
  for (const auto& args : bad) {
    std::string error;
    Parsed(args, &error);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_NE(error, "") << line;
  }
}
}  // namespace
