// The video encoder's two-pass statistics through the MP4 writer: the first
// pass leaves them beside the output, the second reads them back, and
// statistics the encoder cannot use never reach it or stop the output.
#include "encode/pass_stats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/mp4_writer.h"
#include "tests/support/media_probe.h"
#include "tests/support/test_support.h"
#include "tests/synth/synthetic_recording.h"

// libx264 keeps what it allocated when it refuses statistics at open.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx264\n"; }

namespace {
// Writes pictures of the synthetic source through the writer alone, its
// video encoder in the plan's pass; true when the whole output was written.
bool WritePictures(const std::string& path, const PassPlan& plan, int pictures, int videoCodec = 0) {
  SyntheticSource src;
  UsePspProfile(videoCodec, "Two passes");
  UseSourceFormat(src);
  Frame().OutputFormat = 2;
  if (Mp4Open(path, plan) != 0) return false;
  std::vector<std::uint8_t> frame;
  for (int i = 0; i < pictures; ++i) {
    src.MakeFrame(i, frame);
    Mp4WriteVideo(frame.data());
  }
  return Mp4End() == 0 && !Mp4WriteFailed();
}

// One entry as the MPEG-4 encoder writes it, with its picture number and
// the bits it spent besides the texture.
std::string Entry(int picture, int type = 2, long long misc = 650) {
  char line[256];
  std::snprintf(line, sizeof(line),
                "in:%d out:%d type:%d q:236 itex:0 ptex:599 mv:94 misc:%lld fcode:1 bcode:1 mc-var:59 var:116541 "
                "icount:0 skipcount:253 hbits:65;\n",
                picture, picture, type, misc);
  return line;
}
}  // namespace

int Entries(const std::string& text) { return SummariseStats(text).entries; }

TEST(PassStats, OnlyEntriesTheEncoderCanReadAreCounted) {
  EXPECT_EQ(Entries(Entry(0, 1) + Entry(1) + Entry(2)), 3);
  EXPECT_EQ(Entries(Entry(1) + Entry(0, 1)), 2) << "in any order";
  EXPECT_EQ(Entries(""), -1);
  EXPECT_EQ(Entries("in:0 out:0 type:1 q:2\n"), -1) << "no entry ends";
  EXPECT_EQ(Entries(Entry(0) + Entry(2)), -1) << "picture number beyond the entries";
  EXPECT_EQ(Entries(Entry(0) + Entry(-1)), -1);
  EXPECT_EQ(Entries(Entry(0, 9)), -1) << "no such picture type";
  EXPECT_EQ(Entries("in:0 out:0 type:2 q:236 itex:0;\n"), -1) << "fields missing";
  EXPECT_EQ(Entries("in:0 out:0 type:2 q:nan itex:0 ptex:599 mv:94 misc:650 fcode:1 bcode:1 mc-var:59 var:116541 "
                    "icount:0 skipcount:253 hbits:65;\n"),
            -1);
  EXPECT_EQ(Entries("in:0 out:0 type:2 q:236 itex:0 ptex:599 mv:94 misc:650 fcode:0 bcode:1 mc-var:59 var:116541 "
                    "icount:0 skipcount:253 hbits:65;\n"),
            -1);
}

// 20 pictures of 650 + 94 bits and a little texture: about 750 bits each at
// the coarsest quantizer, 15,000 in all.
TEST(PassStats, APlanThePicturesCannotMeetIsNotHandedOver) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += Entry(i, i == 0 ? 1 : 2);
  const StatsSummary stats = SummariseStats(text);
  ASSERT_EQ(stats.entries, 20);
  EXPECT_NEAR(stats.leastBits, 20 * (650 + 94), 20 * 50);
  EXPECT_TRUE(SecondPassCanUse(stats, 30000, 0.1)) << "60,000 bits for the 20 pictures";
  EXPECT_FALSE(SecondPassCanUse(stats, 7500, 0.1)) << "15,000 bits: no room";
  EXPECT_FALSE(SecondPassCanUse(SummariseStats("damaged;"), 30000, 0.1));
}

// The first pass leaves one entry per picture beside the output; a second
// pass handed more pictures than that codes what its statistics cover and
// the output is still whole.
TEST(PassStats, ASecondPassBeyondItsStatisticsKeepsWhatTheyCover) {
  TempDir dir;
  const std::string stats = dir.file("two.mp4.passlog");
  ASSERT_TRUE(WritePictures(dir.file("first.mp4"), {PassMode::kFirstPass, stats}, 30));
  EXPECT_EQ(Entries(ReadFileBytes(stats)), 30);
  ASSERT_TRUE(WritePictures(dir.file("two.mp4"), {PassMode::kSecondPass, stats}, 40));
  const MediaProbe m = ProbeMedia(dir.file("two.mp4"));
  EXPECT_EQ(m.video.decodedFrames, 30);
  EXPECT_EQ(m.video.decodeErrors, 0);
}

// Statistics a second pass cannot use leave it in one pass, and the output
// is written all the same: damaged ones, ones the MPEG-4 encoder's rate
// control would refuse (it then brings the process down), missing ones,
// and ones libx264 refuses when it opens.
TEST(PassStats, UnusableStatisticsLeaveTheSecondPassInOnePass) {
  TempDir dir;
  WriteFileBytes(dir.file("damaged.passlog"), Entry(0, 1) + Entry(7));
  std::string greedy;
  for (int i = 0; i < 20; ++i) greedy += Entry(i, i == 0 ? 1 : 2, 20000000);
  WriteFileBytes(dir.file("greedy.passlog"), greedy);
  WriteFileBytes(dir.file("x264.passlog"), "#options: 320x240 fps=2997/100 bframes=2\nnot statistics;\n");
  struct Case {
    const char* name;
    int videoCodec;
  };
  for (const Case& c : {Case{"damaged", 0}, Case{"greedy", 0}, Case{"missing", 0}, Case{"x264", 1}}) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.file(std::string(c.name) + ".mp4");
    ASSERT_TRUE(WritePictures(out, {PassMode::kSecondPass, dir.file(std::string(c.name) + ".passlog")}, 20, c.videoCodec));
    const MediaProbe m = ProbeMedia(out);
    EXPECT_EQ(m.video.decodedFrames, 20);
    EXPECT_EQ(m.video.decodeErrors, 0);
  }
}
