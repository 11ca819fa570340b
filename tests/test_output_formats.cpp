#include <gtest/gtest.h>

#include "encode/encoder_params.h"
#include "encode/mp4_writer.h"
#include "tests/support/media_probe.h"
#include "tests/support/test_support.h"
#include "tests/synth/synthetic_recording.h"

namespace {
struct FormatCase {
  int code;
  const char* file;
  const char* vcodec;  // profile's names
  const char* acodec;
  const char* wantVideo;
  const char* wantAudio;
  const char* wantFormat;
};

MediaProbe Record(const TempDir& dir, const FormatCase& c) {
  EncoderParams& p = EncParams();
  p = EncoderParams();
  p.vcodec = c.vcodec;
  p.acodec = c.acodec;
  p.outSampleRate = 44100;
  p.audioKbps = 128;
  p.title = "Formats";
  SyntheticSource src;
  src.width = 352;
  src.height = 288;
  src.frameRate = 25;
  SyntheticRecording rec{dir.file(c.file), c.code, 25, true};
  EXPECT_EQ(RunSyntheticRecording(rec, src), 0) << c.file;
  return ProbeMedia(rec.outputPath);
}
}  // namespace

TEST(OutputFormats, EveryFormatCodeWritesAFileWithItsCodecs) {
  TempDir dir;
  const FormatCase cases[] = {
      {1, "out.wmv", "wmv2", "wmav2", "wmv2", "wmav2", "asf"},
      {3, "out.avi", "mpeg4", "mp3", "mpeg4", "mp3", "avi"},
      {4, "out.mpg", "mpeg2video", "mp2", "mpeg2video", "mp2", "mpeg"},
      {5, "out.vob", "mpeg2video", "mp2", "mpeg2video", "mp2", "mpeg"},
      {6, "out.3gp", "h263", "aac", "h263", "aac", "mov,mp4,m4a,3gp,3g2,mj2"},
      {7, "out.mov", "mpeg4", "aac", "mpeg4", "aac", "mov,mp4,m4a,3gp,3g2,mj2"},
  };
  for (const auto& c : cases) {
    MediaProbe m = Record(dir, c);
    ASSERT_TRUE(m.opened) << c.file;
    EXPECT_EQ(m.formatName, c.wantFormat) << c.file;
    EXPECT_EQ(m.video.codec, c.wantVideo) << c.file;
    EXPECT_EQ(m.audio.codec, c.wantAudio) << c.file;
    EXPECT_EQ(m.video.decodedFrames, 25) << c.file;
    EXPECT_NEAR(m.audio.durationSec, 1.0, 0.1) << c.file;
  }
  std::string tag = RunCommand("ffprobe -v error -select_streams v -show_entries stream=codec_tag_string "
                               "-of default=nw=1:nk=1 '" + dir.file("out.avi") + "'");
  EXPECT_EQ(tag, "DIVX\n");
}

TEST(OutputFormats, MissingEncoderFailsWithLogAndMessageAndCodeZeroHasNoContainer) {
  TempDir dir;
  EncoderParams& p = EncParams();
  p = EncoderParams();
  p.vcodec = "h263";
  p.acodec = "amr_nb";
  SyntheticSource src;
  src.width = 176;
  src.height = 144;
  ScriptedMessageBox box;
  SyntheticRecording rec{dir.file("amr.3gp"), 6, 10, true};
  EXPECT_EQ(RunSyntheticRecording(rec, src), -1);
  ASSERT_EQ(box.texts.size(), 1u);
  EXPECT_NE(box.texts[0].find("amr_nb"), std::string::npos);
  EXPECT_FALSE(Mp4IsOpen());

  SyntheticRecording none{dir.file("x.avi"), 0, 10, true};
  EXPECT_EQ(RunSyntheticRecording(none, src), -1);
  ASSERT_EQ(box.texts.size(), 2u);
  EXPECT_EQ(box.texts[1], "Error: Could not find suitable output format");
}
