// Transport, the start of a conversion and the profile's values, on real
// graphs of fixture clips driven through the headless host.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/control/headless_host.h"
#include "app/control/profile_choice.h"
#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/encoder_threads.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/graph_builder.h"
#include "engine/playback.h"
#include "engine/recording.h"
#include "profiles/profile.h"
#include "settings/settings.h"
#include "settings/translate.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/media_probe.h"
#include "tests/support/engine_test.h"
#include "tests/support/test_support.h"

namespace {
class EngineControl : public EngineTest {
 protected:
  double Position() {
    REFTIME pos = -1;
    Graph().pMediaPosition->get_CurrentPosition(&pos);
    return pos;
  }
  LONG Volume() {
    LONG v = 1;
    Graph().pBasicAudio->get_Volume(&v);
    return v;
  }

};

TEST_F(EngineControl, TransportFollowsTheCommands) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 1.0)));
  EXPECT_EQ(Frame().PlaybackState, 2);
  EXPECT_EQ(Volume(), 0) << "full volume when playing outside a conversion";
  EXPECT_EQ(host_.banner, "Ready to record this title [0:00:01]");
  EXPECT_EQ(host_.positionMax, 1);
  // A second build while one renders is refused and changes nothing.
  Engine().RenderState = 0;
  EXPECT_EQ(RenderSource(), 0);
  EXPECT_EQ(Frame().SourceReadiness, 2);
  Engine().RenderState = 1;
  Pause();
  EXPECT_EQ(Frame().PlaybackState, 1);
  EXPECT_TRUE(Engine().bFreezeTimeLabel);
  Stop();
  EXPECT_EQ(Frame().PlaybackState, 0);
  EXPECT_NEAR(Position(), 0.0, 0.05) << "stop goes back to the beginning";
  // Pausing a graph that does not run changes nothing.
  Pause();
  EXPECT_EQ(Frame().PlaybackState, 0);
}

TEST_F(EngineControl, PlayAtTheEndStartsAgain) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 1.0)));
  for (int i = 0; i < 100 && Position() < 0.999; ++i) host_.Pump(50);
  ASSERT_NEAR(Position(), 1.0, 0.01) << "played to its end";
  Play();
  EXPECT_LT(Position(), 0.5);
}

TEST_F(EngineControl, ProfileWithoutASizeTakesTheSourceWidthAndAHeightOfSixteens) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kAnamorphic576, 1.0)));
  CProfile p = profiles_[static_cast<size_t>(FindProfile(profiles_, "PSP MPEG-4 320x240"))];
  p.s = "source";
  Frame().CurrentProfile = &p;
  LoadEncoderParameters();
  EXPECT_EQ(EncParams().width, 720);
  EXPECT_EQ(EncParams().height, 400) << "720 x 9 / 16 = 405, down to a multiple of 16";
  EXPECT_EQ(EncParams().frameRate, 30000.0 / 1001) << "29.97 is the NTSC rate";
  EXPECT_EQ(EncParams().outSampleRate, 48000);
  Frame().CurrentProfile = nullptr;
}

// A conversion starts at the start point the user last sought to, not
// where playback has got since; Stop takes the start point back to 0.
TEST_F(EngineControl, ConversionStartsAtTheLastSeekAndStopResetsIt) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 5.0, {.numbered = true})));
  host_.MovePositionLow(2);
  // The preview plays on, moving the thumb.
  for (int i = 0; i < 600 && host_.positionLow < 3; ++i) host_.Pump(50);
  ASSERT_GE(host_.positionLow, 3);
  ASSERT_TRUE(host_.Convert().finished);
  MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.MP4"), true);
  ExpectPspOutput(p, 3.0);
  ASSERT_FALSE(p.video.frameCodes.empty());
  EXPECT_EQ(p.video.frameCodes.front(), 2 * kFixtureFps);

  Stop();
  EXPECT_EQ(Frame().RecordStartSec, 0);
  ASSERT_TRUE(host_.Convert().finished);
  p = ProbeMedia(dir_.file("out/M4V20002.MP4"), true);
  ExpectPspOutput(p, 5.0);
  ASSERT_FALSE(p.video.frameCodes.empty());
  EXPECT_EQ(p.video.frameCodes.front(), 0);
}

// A start point at or past the stop point is refused with a notice, and
// no file is written.
TEST_F(EngineControl, ARangeWithoutLengthIsRefused) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 4.0)));
  host_.MovePositionLow(3);
  host_.SetPositionHigh(2);
  EXPECT_FALSE(host_.Convert().finished);
  ASSERT_EQ(box_.texts.size(), 1u);
  EXPECT_EQ(box_.texts[0],
            "The start point (0:00:03) is at or after the stop point (0:00:02): there is nothing to convert.\n"
            "Move the start point before the stop point and convert again.");
  EXPECT_FALSE(Frame().IsRecording);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/M4V20001.MP4")));
}

TEST_F(EngineControl, ExactSourceSizeNeedsNoResizeAnyCropDoes) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 2.0)));
  host_.MovePositionLow(0);
  host_.SetPositionHigh(1);
  ASSERT_TRUE(host_.Convert().finished);
  EXPECT_FALSE(CaptureFrames().scale.NeedResize);
  Frame().CropRect = CropFractions{0.1, 0.0, 0.9, 1.0};
  host_.MovePositionLow(0);
  host_.SetPositionHigh(1);
  box_.Answer(mrYes);  // overwrite the first output
  ASSERT_TRUE(host_.Convert().finished);
  EXPECT_TRUE(CaptureFrames().scale.NeedResize);
}

TEST_F(EngineControl, OneProcessorEncodesInlineWithoutThreads) {
  Frame().ProcessorCount = 1;
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 2.0)));
  host_.MovePositionLow(0);
  bool threads = false;
  const HostRun run = host_.Convert([&] {
    threads = threads || EncoderThreadsRunning();
    return false;
  });
  ASSERT_TRUE(run.finished);
  EXPECT_FALSE(threads);
  const MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.MP4"));
  EXPECT_NEAR(p.video.durationSec, 2.0, 0.034);
  EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, 0.034);
}

TEST_F(EngineControl, VolumeIsSilentWhileConvertingAndFullAfterwards) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 2.0)));
  host_.MovePositionLow(0);
  LONG during = 1;
  ASSERT_TRUE(host_.Convert([&] {
                if (Frame().IsRecording) during = Volume();
                return false;
              }).finished);
  EXPECT_EQ(during, -10000);
  EXPECT_EQ(Volume(), 0);
}

// The recording encoder asks in the language table's words: the conversion
// start hands it its texts translated.
TEST_F(EngineControl, TheEncodersQuestionFollowsTheLanguageTable) {
  WriteFileBytes(dir_.file("lang.txt"), "@already exists. Overwrite?\nist schon da. Ersetzen?\n");
  LoadLanguageTable(dir_.file("lang.txt"));
  const std::string out = OpenFromStart(Clip(FixtureKind::kH264AacMp4, 1.0), dir_.file("out/mine.mp4"));
  WriteFileBytes(out, "keep me");
  EXPECT_FALSE(host_.Convert().finished);
  LoadLanguageTable(dir_.file("absent.txt"));
  ASSERT_EQ(box_.texts.size(), 1u);
  EXPECT_EQ(box_.texts[0], out + " \nist schon da. Ersetzen?") << "a table's text begins on a line of its own";
  EXPECT_EQ(ReadFileBytes(out), "keep me");
}
}  // namespace

namespace {
TEST(PointLabels, HoursAppearFromTheFirstFullHour) {
  EXPECT_EQ(EndPointCaption(3599), " (stop point) 59:59->");
  EXPECT_EQ(EndPointCaption(3600), " (stop point) 1:00:00->");
  EXPECT_EQ(StartPointCaption(3599), "<-59:59 (start point) ");
  EXPECT_EQ(StartPointCaption(3600), "<-1:00:00 (start point) ");
  EXPECT_EQ(TimeText(3725), "1:02:05");
}
}  // namespace
