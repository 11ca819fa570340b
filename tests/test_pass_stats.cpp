// The video encoder's two-pass statistics through the MP4 writer: the first
// pass leaves them beside the output, the second reads them back, and
// statistics the encoder cannot use never reach it or stop the output.
#include "encode/pass_stats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/mp4_writer.h"
#include "tests/support/media_probe.h"
#include "tests/support/test_support.h"
#include "tests/synth/synthetic_recording.h"

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

int Entries(const std::string& text) { return CountStatsEntries(text); }

TEST(PassStats, OnlyEntriesTheEncoderCanReadAreCounted) {
  EXPECT_EQ(Entries(Entry(0, 1) + Entry(1) + Entry(2)), 3);
  EXPECT_EQ(Entries(Entry(1) + Entry(0, 1)), 2) << "in any order";
  EXPECT_EQ(Entries(""), -1);
  EXPECT_EQ(Entries("in:0 out:0 type:1 q:2\n"), -1) << "no entry ends";
  EXPECT_EQ(Entries(Entry(0) + Entry(2)), -1) << "picture number beyond the entries";
  EXPECT_EQ(Entries(Entry(0) + Entry(-1)), -1);
  EXPECT_EQ(Entries(Entry(0, 9)), -1) << "no such picture type";
  EXPECT_EQ(Entries(Entry(0) + std::string(1, '\0') + Entry(1)), -1) << "the encoder would see one entry";
  EXPECT_EQ(Entries("in:0 out:0 type:2 q:236 itex:0;\n"), -1) << "fields missing";
  EXPECT_EQ(Entries("in:0 out:0 type:2 q:nan itex:0 ptex:599 mv:94 misc:650 fcode:1 bcode:1 mc-var:59 var:116541 "
                    "icount:0 skipcount:253 hbits:65;\n"),
            -1);
  EXPECT_EQ(Entries("in:0 out:0 type:2 q:236 itex:0 ptex:599 mv:94 misc:650 fcode:0 bcode:1 mc-var:59 var:116541 "
                    "icount:0 skipcount:253 hbits:65;\n"),
            -1);
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

// A still picture full of detail, as the first pass saw it: an intra
// picture of nearly half a megabit every 12, nothing between them. The
// MPEG-4 encoder's rate control ties the intra pictures' quantizer to the
// still ones' and cannot meet 768 kbit/s at any.
std::string DetailedStillStatistics() {
  std::string text;
  for (int i = 0; i < 120; ++i) {
    char line[256];
    if (i % 12 == 0)
      std::snprintf(line, sizeof(line),
                    "in:%d out:%d type:1 q:588 itex:486915 ptex:0 mv:0 misc:1880 fcode:1 bcode:1 mc-var:0 "
                    "var:428000 icount:300 skipcount:0 hbits:493;\n",
                    i, i);
    else
      std::snprintf(line, sizeof(line),
                    "in:%d out:%d type:2 q:236 itex:0 ptex:0 mv:0 misc:375 fcode:1 bcode:1 mc-var:0 var:428000 "
                    "icount:0 skipcount:300 hbits:65;\n",
                    i, i);
    text += line;
  }
  return text;
}

// Statistics a second pass cannot use leave it in one pass, and the output
// is written all the same: damaged ones, ones the MPEG-4 encoder's rate
// control refuses (this library version then frees its state twice, which
// would bring the program down), missing ones, and ones libx264 refuses.
TEST(PassStats, UnusableStatisticsLeaveTheSecondPassInOnePass) {
  TempDir dir;
  WriteFileBytes(dir.file("damaged.passlog"), Entry(0, 1) + Entry(7));
  const std::string still = DetailedStillStatistics();
  ASSERT_EQ(CountStatsEntries(still), 120) << "well formed";
  WriteFileBytes(dir.file("still.passlog"), still);
  WriteFileBytes(dir.file("x264.passlog"), "#options: 320x240 fps=2997/100 bframes=2\nnot statistics;\n");
  struct Case {
    const char* name;
    int videoCodec;
  };
  for (const Case& c : {Case{"damaged", 0}, Case{"still", 0}, Case{"missing", 0}, Case{"x264", 1}}) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.file(std::string(c.name) + ".mp4");
    ASSERT_TRUE(WritePictures(out, {PassMode::kSecondPass, dir.file(std::string(c.name) + ".passlog")}, 20, c.videoCodec));
    const MediaProbe m = ProbeMedia(out);
    EXPECT_EQ(m.video.decodedFrames, 20);
    EXPECT_EQ(m.video.decodeErrors, 0);
  }
}
