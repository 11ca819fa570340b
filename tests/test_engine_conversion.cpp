// Whole conversions of fixture clips through the engine and the headless
// host: graph, callbacks, re-timing, recording encoder and MP4 writer, with
// the outputs decoded again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "app/control/headless_host.h"
#include "app/control/profile_choice.h"
#include "core/frame_state.h"
#include "encode/recording_encoder.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/graph_builder.h"
#include "platform/dshow/media_filters.h"
#include "profiles/profile.h"
#include "settings/settings.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/av_signals.h"
#include "tests/support/media_probe.h"
#include "tests/support/engine_test.h"
#include "tests/support/test_support.h"

namespace {
constexpr double kOutFps = 30000.0 / 1001;

class EngineConversion : public EngineTest {
 protected:
  // Opens path from its start and converts it; returns the output's path.
  std::string Convert(const std::string& path) {
    const std::string out = OpenFromStart(path, dir_.file("out/M4V20001.MP4"));
    const HostRun run = host_.Convert();
    EXPECT_TRUE(run.finished);
    EXPECT_FALSE(Frame().IsRecording);
    return out;
  }
};

struct KindCase {
  FixtureKind kind;
  const char* name;
  double seconds = 3.0;  // what the source's container says its pictures last
};

class EveryFixture : public EngineConversion, public ::testing::WithParamInterface<KindCase> {};

TEST_P(EveryFixture, ConvertsToAPspMp4OfTheSameLength) {
  const std::string src = Clip(GetParam().kind, 3.0);
  const std::string out = Convert(src);
  ExpectPspOutput(ProbeMedia(out), GetParam().seconds);
  EXPECT_EQ(host_.finishedNotices, 1);
  EXPECT_EQ(AppSettings().fileNumber, 20002) << "the next output gets the next number";
  EXPECT_EQ(std::filesystem::path(Frame().GetOutputPath()).filename(), "M4V20002.MP4");
  EXPECT_EQ(host_.convertCaption, "Convert");
  EXPECT_TRUE(host_.transportEnabled);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryFixture,
                         ::testing::Values(KindCase{FixtureKind::kH264AacMp4, "H264Aac"},
                                           KindCase{FixtureKind::kMpeg2Mp2Ps, "Mpeg2Ps"},
                                           // The AVI's packed bitstream ends with a skipped picture: 3.04 s.
                                           KindCase{FixtureKind::kMpeg4Mp3Avi, "Mpeg4Avi", 3.04},
                                           KindCase{FixtureKind::kWmv2Wma2Asf, "Wmv2Asf"},
                                           KindCase{FixtureKind::kMjpegPcm8Avi, "Mjpeg8BitPcm"},
                                           KindCase{FixtureKind::kVp8VorbisWebm, "Vp8Webm"},
                                           KindCase{FixtureKind::kAnamorphic576, "Anamorphic576"},
                                           KindCase{FixtureKind::kHd720, "Hd720"},
                                           KindCase{FixtureKind::kAc3Surround, "Surround51"},
                                           KindCase{FixtureKind::kMonoAudio, "Mono"},
                                           // Bare streams: no container, no times, no sound.
                                           KindCase{FixtureKind::kRawH264, "BareH264"},
                                           KindCase{FixtureKind::kRawMpeg2, "BareMpeg2"},
                                           KindCase{FixtureKind::kRawHevc, "BareHevc"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The first picture of each second is white and carries a beep: in the
// output every flash stays within one output frame of its beep, at the
// start of the clip as at its end.
TEST_F(EngineConversion, FlashesStayWithTheirBeeps) {
  const std::string out = Convert(Clip(FixtureKind::kH264AacMp4, 12.0, {.flash = true}));
  const AvSignals s = MeasureAvSignals(out);
  ASSERT_EQ(s.flashes.size(), 12u) << s.Describe();
  ASSERT_EQ(s.beeps.size(), 12u) << s.Describe();
  double lo = 1e9, hi = -1e9;
  for (size_t k = 0; k < s.flashes.size(); ++k) {
    const double offset = s.flashes[k] - s.beeps[k];
    EXPECT_LE(std::fabs(offset), 1 / kOutFps + 0.011) << "second " << k;
    lo = std::min(lo, offset);
    hi = std::max(hi, offset);
  }
  EXPECT_LE(hi - lo, 1 / kOutFps + 0.011) << "no drift: every offset in one window a frame wide";
}

// Flashes against beeps: every flash within one output frame of the beep
// nearest to it, and as many of each as the source has.
void ExpectFlashesWithBeeps(const std::string& out, size_t flashes, size_t beeps) {
  const AvSignals s = MeasureAvSignals(out);
  EXPECT_EQ(s.flashes.size(), flashes) << s.Describe();
  EXPECT_EQ(s.beeps.size(), beeps) << s.Describe();
  for (double offset : FlashOffsets(s)) EXPECT_LE(std::fabs(offset), 1 / kOutFps + 0.011) << s.Describe();
}

// A broadcast capture: the first program that has both pictures and sound
// is converted (its flashes come with its beeps), not the larger pictures
// of the second program with the surround sound of the third.
TEST_F(EngineConversion, ACaptureOfSeveralProgramsConvertsTheFirstWithPicturesAndSound) {
  const std::string out = Convert(Clip(FixtureKind::kTwoProgramTs, 6.0, {.flash = true}));
  ExpectPspOutput(ProbeMedia(out), 6.0);
  ExpectFlashesWithBeeps(out, 6, 6);
}

// The capture's clock jumps 20 hours six seconds in, sound and pictures
// together: the jump is left out of the output, nothing waits for the
// clock to get there, and the title is as long as the capture.
TEST_F(EngineConversion, AClockJumpInACaptureNeitherStallsNorLengthensTheTitle) {
  const std::string src = Clip(FixtureKind::kTwoProgramTs, 12.0, {.flash = true, .jumpAt = 6, .jumpSeconds = 72000});
  ASSERT_TRUE(host_.OpenSource(src));
  EXPECT_EQ(host_.positionMax, 12);
  host_.MovePositionLow(0);
  const HostRun run = host_.Convert();
  EXPECT_TRUE(run.finished);
  EXPECT_FALSE(run.stalled);
  ExpectPspOutput(ProbeMedia(dir_.file("out/M4V20001.MP4")), 12.0);
  ExpectFlashesWithBeeps(dir_.file("out/M4V20001.MP4"), 12, 12);
}

// Pictures that stop or pause while the sound goes on, and pictures slower
// than one a second: the output is as long as the sound, every flash comes
// with its beep, and nothing waits for real time.
struct HeldCase {
  const char* name;
  double seconds;          // of sound (and of the source)
  FixtureOptions options;  // flash set
  size_t flashes, beeps;
};

class HeldPictures : public EngineConversion, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldPictures, LastAsLongAsTheSoundWithEveryFlashOnItsBeep) {
  const HeldCase& c = GetParam();
  const std::string src = Clip(FixtureKind::kH264AacMp4, c.seconds, c.options);
  ASSERT_TRUE(host_.OpenSource(src));
  host_.MovePositionLow(0);
  // A stall of more than 10 s would be a wait for real time.
  const HostRun run = host_.Convert({}, 10);
  EXPECT_TRUE(run.finished);
  EXPECT_FALSE(run.stalled);
  const std::string out = dir_.file("out/M4V20001.MP4");
  ExpectPspOutput(ProbeMedia(out), c.seconds);
  ExpectFlashesWithBeeps(out, c.flashes, c.beeps);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HeldPictures,
    ::testing::Values(HeldCase{"OnePictureWithSound", 5.0, {.flash = true, .pictureSeconds = 0.04}, 1, 5},
                      HeldCase{"SoundOutlastsThePicturesBy30s", 35.0, {.flash = true, .pictureSeconds = 5}, 5, 35},
                      HeldCase{"PicturesPause20sWhileTheSoundGoesOn", 30.0,
                               {.flash = true, .pauseAt = 4, .pauseSeconds = 20}, 10, 30},
                      HeldCase{"SlideShowOneASecond", 20.0, {.flash = true, .pictureTicks = 25}, 10, 10},
                      HeldCase{"SlideShowOneIn2s", 20.0, {.flash = true, .pictureTicks = 50}, 5, 5},
                      HeldCase{"SlideShowOneIn3s", 24.0, {.flash = true, .pictureTicks = 75}, 4, 4},
                      HeldCase{"SlideShowOneIn5s", 30.0, {.flash = true, .pictureTicks = 125}, 3, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// A DVD menu: one MPEG-2 still whose size the probe cannot tell, then a
// minute of 5.1 sound. The still holds for the whole minute.
TEST_F(EngineConversion, ADvdMenuStillHoldsForItsMinuteOfSound) {
  const std::string out = Convert(Clip(FixtureKind::kDvdMenuVob, 60.0, {.pictureSeconds = 0.04}));
  ExpectPspOutput(ProbeMedia(out), 60.0);
}

// A song with its cover picture: the cover holds for the whole song.
TEST_F(EngineConversion, ASongWithACoverPictureHoldsTheCoverForTheSong) {
  const std::string out = Convert(Clip(FixtureKind::kMp3Cover, 20.0, {.pictureSeconds = 0.04}));
  const MediaProbe p = ProbeMedia(out, true);
  ExpectPspOutput(p, 20.0);
  ASSERT_FALSE(p.video.lumaMeans.empty());
  EXPECT_GT(p.video.lumaMeans.back(), 30) << "the cover, not a black picture";
}

// A single picture and no sound: a short output of that picture.
TEST_F(EngineConversion, APictureAloneGivesOneFrame) {
  const MediaProbe p = ProbeMedia(Convert(Clip(FixtureKind::kNoAudio, 0.04)));
  ASSERT_TRUE(p.hasVideo && p.hasAudio);
  EXPECT_EQ(p.video.decodedFrames, 1);
  EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, 1 / kOutFps);
}

// A professional clip of three interlaced 4:2:2 1080 pictures (0.12 s)
// with DTS sound.
TEST_F(EngineConversion, AVeryShortProfessionalClipConverts) {
  const MediaProbe p = ProbeMedia(Convert(Clip(FixtureKind::kShortMpeg2422, 0.12)));
  ASSERT_TRUE(p.hasVideo && p.hasAudio);
  EXPECT_EQ(p.video.decodeErrors, 0);
  EXPECT_NEAR(p.video.durationSec, 0.12, 1 / kOutFps);
  EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, 1 / kOutFps);
}

// A phone's full-range picture: grey 128 and white 255 in full-range codes
// become the studio-range 126 and 235 the device shows as the same grey and
// white, instead of a harsher picture: packed with its colour converted at
// the source's own size, converted once scaled from the decoder's planes at
// another.
TEST_F(EngineConversion, AFullRangeSourceComesOutInStudioRange) {
  const std::string src = Clip(FixtureKind::kFullRangeMp4, 2.0);
  struct Case {
    const char* size;
    int width, height;
  };
  int number = 20001;
  for (const Case c : {Case{"320x240", 320, 240}, Case{"368x208", 368, 208}}) {
    SCOPED_TRACE(c.size);
    CProfile profile = profiles_[static_cast<size_t>(FindProfile(profiles_, "PSP MPEG-4 320x240"))];
    profile.name = std::string("Full range ") + c.size;
    profile.s = c.size;
    profiles_.push_back(profile);
    SelectProfile(profiles_, static_cast<int>(profiles_.size()) - 1);
    const std::string out = dir_.file("out/M4V" + std::to_string(number++) + ".MP4");
    OpenFromStart(src, out);
    ASSERT_TRUE(host_.Convert().finished);
    EXPECT_EQ(CaptureFrames().scale.NeedResize, c.width != 320);
    int status = 0;
    const std::string yuv =
        RunCommand("ffmpeg -v error -i '" + out + "' -frames:v 1 -f rawvideo -pix_fmt yuv420p -", &status);
    ASSERT_EQ(status, 0);
    ASSERT_GE(yuv.size(), static_cast<size_t>(c.width) * c.height);
    // Mean luma over the middle half of the rows, columns [x0, x1).
    auto mean = [&](int x0, int x1) {
      double sum = 0;
      for (int y = c.height / 4; y < c.height * 3 / 4; ++y)
        for (int x = x0; x < x1; ++x) sum += static_cast<unsigned char>(yuv[y * c.width + x]);
      return sum / ((c.height * 3 / 4 - c.height / 4) * (x1 - x0));
    };
    const int eighth = c.width / 8;
    EXPECT_NEAR(mean(eighth / 2, eighth * 7 / 2), 126, 2) << "grey";
    EXPECT_NEAR(mean(eighth * 9 / 2, eighth * 15 / 2), 235, 2) << "white";
  }
}

// The thumbnail a conversion makes 2.5 s in, from an HD source (its planes
// kept shrunk): 160x120 and the picture the output shows then.
TEST_F(EngineConversion, TheThumbnailOfAnHdSourceShowsItsPicture) {
  const std::string out = Convert(Clip(FixtureKind::kHd720, 4.0));
  const std::string thm = out.substr(0, out.rfind('.')) + ".THM";
  int status = 0;
  const std::string thumb = RunCommand("ffmpeg -v error -i '" + thm + "' -f rawvideo -pix_fmt gray -", &status);
  ASSERT_EQ(status, 0) << thm;
  ASSERT_EQ(thumb.size(), 160u * 120);
  const std::string frames = RunCommand("ffmpeg -v error -ss 2 -i '" + out +
                                            "' -vf scale=160:120:flags=area -f rawvideo -pix_fmt gray -",
                                        &status);
  ASSERT_EQ(status, 0);
  ASSERT_GE(frames.size(), 160u * 120);
  // The mean difference to the closest of the output's frames from 2 s on:
  // about 8 (a JPEG of a moving pattern); planes read at a wrong size give
  // about 37.
  double closest = 255;
  for (size_t at = 0; at + thumb.size() <= frames.size(); at += thumb.size()) {
    double sum = 0;
    for (size_t i = 0; i < thumb.size(); ++i)
      sum += std::abs(static_cast<unsigned char>(thumb[i]) - static_cast<unsigned char>(frames[at + i]));
    closest = std::min(closest, sum / thumb.size());
  }
  EXPECT_LT(closest, 16.0);
}

TEST_F(EngineConversion, AStartAndStopRangeConvertsExactlyThatRange) {
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 8.0)));
  host_.MovePositionLow(2);
  host_.SetPositionHigh(5);
  EXPECT_EQ(Frame().RecordStartSec, 2);
  EXPECT_EQ(Frame().RecordEndSec, 5);
  EXPECT_EQ(host_.endPointLabel, " (stop point) 0:05->");
  ASSERT_TRUE(host_.Convert().finished);
  const MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.MP4"));
  ExpectPspOutput(p, 3.0);
}

TEST_F(EngineConversion, TwoPassesWriteOneFileOverTheSameRange) {
  Frame().PassCount = 2;
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 6.0)));
  host_.MovePositionLow(1);
  host_.SetPositionHigh(4);
  ASSERT_TRUE(host_.Convert().finished);
  EXPECT_EQ(Frame().CurrentPass, 1) << "back at pass 1 afterwards";
  EXPECT_EQ(host_.finishedNotices, 1) << "one notice for both passes";
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/M4V20001 - 02.MP4")));
  ExpectPspOutput(ProbeMedia(dir_.file("out/M4V20001.MP4")), 3.0);
  EXPECT_TRUE(box_.texts.empty()) << "pass 2 writes over pass 1's file without asking";
}

// A range of 2 s or less: the graph's completion at the end point ends the
// first pass, and the second pass it starts runs to the end point too.
TEST_F(EngineConversion, TwoPassesOverAShortRangeWriteAllOfIt) {
  Frame().PassCount = 2;
  ASSERT_TRUE(host_.OpenSource(Clip(FixtureKind::kH264AacMp4, 6.0)));
  host_.MovePositionLow(1);
  host_.SetPositionHigh(3);
  ASSERT_TRUE(host_.Convert().finished);
  EXPECT_EQ(Frame().CurrentPass, 1);
  ExpectPspOutput(ProbeMedia(dir_.file("out/M4V20001.MP4")), 2.0);
}

// While a conversion shrinks the picture to half or less the decoders
// leave out what the shrink averages away; a conversion at about the
// source's size, and the preview after either, decode every picture whole.
TEST_F(EngineConversion, OnlyAConversionThatShrinksToHalfDecodesForTheShrink) {
  struct Case {
    FixtureKind kind;
    bool shrinks;
  };
  for (const Case c : {Case{FixtureKind::kHd720, true}, Case{FixtureKind::kH264AacMp4, false}}) {
    SCOPED_TRACE(c.shrinks);
    const std::string out = OpenFromStart(Clip(c.kind, 2.0, {}, c.shrinks ? "hd" : "sd"), dir_.file(c.shrinks ? "out/a.MP4" : "out/b.MP4"));
    bool whileConverting = false;
    const HostRun run = host_.Convert([&] {
      whileConverting = whileConverting || (Frame().IsRecording && DecodersShrinking(Graph().pGB));
      return false;
    });
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(whileConverting, c.shrinks);
    EXPECT_FALSE(DecodersShrinking(Graph().pGB)) << "the preview after the conversion";
    ExpectPspOutput(ProbeMedia(out), 2.0);
  }
}

TEST_F(EngineConversion, ASmallPartLimitGivesNumberedPartsWithNothingLost) {
  AppSettings().volume = 1;
  // About 1.6 MB in all: the first part fills well before the end. (Eight
  // seconds made 1.1 MB, and the size is read from the file, which trails
  // the encoder: on a busy machine the end came before the part was full.)
  Convert(Clip(FixtureKind::kHd720, 12.0));
  double video = 0, audio = 0;
  int parts = 0;
  for (const char* name : {"M4V20001.MP4", "M4V20001 - 02.MP4", "M4V20001 - 03.MP4", "M4V20001 - 04.MP4"}) {
    if (!std::filesystem::exists(dir_.file(std::string("out/") + name))) break;
    const MediaProbe p = ProbeMedia(dir_.file(std::string("out/") + name));
    ASSERT_TRUE(p.hasVideo && p.hasAudio) << name;
    EXPECT_EQ(p.video.decodeErrors, 0);
    // Sound that arrives after its pictures goes into the next part.
    EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, 0.25) << name;
    video += p.video.durationSec;
    audio += p.audio.durationSec;
    ++parts;
  }
  EXPECT_GE(parts, 2);
  EXPECT_NEAR(video, 12.0, 1 / kOutFps + 1e-6);
  EXPECT_NEAR(audio, 12.0, parts / kOutFps);
}

// MPEG output at the profiles' NTSC rates: the codec's own standard rates
// 30000/1001 and 15000/1001, never a refusal.
TEST_F(EngineConversion, MpegOutputTakesTheNtscRates) {
  const std::string src = Clip(FixtureKind::kH264AacMp4, 3.0);
  int number = 20001;
  for (const double rate : {29.97, 14.985}) {
    SCOPED_TRACE(rate);
    CProfile mpeg = profiles_[static_cast<size_t>(FindProfile(profiles_, "PSP MPEG-4 320x240"))];
    mpeg.name = "MPEG " + std::to_string(rate);
    mpeg.vcodec = "mpeg2video";
    mpeg.acodec = "mp2";
    mpeg.r = rate;
    profiles_.push_back(mpeg);
    SelectProfile(profiles_, static_cast<int>(profiles_.size()) - 1);
    ASSERT_EQ(Frame().OutputFormat, 4);
    const std::string out = dir_.file("out/M4V" + std::to_string(number++) + ".mpg");
    OpenFromStart(src, out);
    ASSERT_TRUE(host_.Convert().finished);
    const MediaProbe p = ProbeMedia(out);
    ASSERT_TRUE(p.opened && p.hasVideo && p.hasAudio) << out;
    EXPECT_EQ(p.video.codec, "mpeg2video");
    EXPECT_EQ(p.video.decodeErrors, 0);
    EXPECT_NEAR(p.video.frameRate, rate, 0.001);
    EXPECT_NEAR(static_cast<double>(p.video.decodedFrames), 3.0 * rate, 1.5);
  }
  EXPECT_TRUE(box_.texts.empty()) << box_.texts.front();
}

TEST_F(EngineConversion, NoResizeHandsTheSampleOverWithoutACopy) {
  // The fixture is 320x240 like the profile: nothing to scale, so the
  // output buffer is never filled and every frame is the graph's sample.
  const std::string out = Convert(Clip(FixtureKind::kH264AacMp4, 2.0));
  EXPECT_FALSE(CaptureFrames().scale.NeedResize);
  EXPECT_FALSE(CaptureFrames().OutputValid);
  EXPECT_NE(CaptureFrames().OutputFrame, CaptureFrames().buffers.output.data());
  ExpectPspOutput(ProbeMedia(out), 2.0);
}

TEST_F(EngineConversion, ASourceWithoutAudioGetsASilentTrackOfItsLength) {
  const std::string out = Convert(Clip(FixtureKind::kNoAudio, 3.0));
  EXPECT_TRUE(std::any_of(box_.texts.begin(), box_.texts.end(), [](const std::string& t) {
    return t.rfind("Audio cannot be played.", 0) == 0;
  }));
  ExpectPspOutput(ProbeMedia(out), 3.0);
}

TEST_F(EngineConversion, UnplayableFilesLeaveTheEngineReadyForTheNext) {
  const std::string text = dir_.file("notes.avi");
  WriteFileBytes(text, "this is not a video\n");
  // A file the graph cannot open at all is named at once with the reason,
  // the first time as every time; Convert then refuses.
  for (int time = 1; time <= 2; ++time) {
    EXPECT_FALSE(host_.OpenSource(text));
    EXPECT_EQ(Frame().SourceReadiness, 0);
    ASSERT_EQ(box_.texts.size(), static_cast<size_t>(time));
    EXPECT_EQ(box_.texts.back(), "Cannot open " + text + "\nIt is not a video or sound file this converter can read.");
  }
  EXPECT_FALSE(host_.Convert().finished);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/M4V20001.MP4")));
  // An audio-only file is refused the same way.
  EXPECT_FALSE(host_.OpenSource(Clip(FixtureKind::kNoVideo, 2.0, {}, "song")));
  EXPECT_FALSE(host_.Convert().finished);
  // And a good file converts afterwards.
  ExpectPspOutput(ProbeMedia(Convert(Clip(FixtureKind::kH264AacMp4, 2.0))), 2.0);
}
}  // namespace
