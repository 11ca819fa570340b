#include "encode/recording_encoder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/mp4_writer.h"
#include "tests/support/media_probe.h"
#include "tests/support/test_support.h"
#include "tests/synth/synthetic_recording.h"

namespace {
void PspMpeg4Profile() { UsePspProfile(0, "Synthetic clip"); }

void ExpectDurationsMatch(const MediaProbe& m, int frames, double fps) {
  const double frameTime = 1.0 / fps;
  EXPECT_EQ(m.video.decodedFrames, frames);
  EXPECT_NEAR(m.video.durationSec, frames / fps, 0.001);
  EXPECT_NEAR(m.audio.durationSec, frames / fps, frameTime) << "audio ends with the last frame";
}

std::string Ffprobe(const std::string& args, const std::string& path) {
  return RunCommand("ffprobe -v error " + args + " -of default=nw=1:nk=1 '" + path + "' 2>&1");
}
}  // namespace

TEST(RecordingEncoder, QueuedMpeg4WritesAPspFileWithEveryFrameAndAllTheAudio) {
  TempDir dir;
  PspMpeg4Profile();
  SyntheticSource src;  // 320x240, 29.97, 44100 Hz stereo
  SyntheticRecording rec{dir.file("M4V00001.MP4"), 2, 100, true};
  ASSERT_EQ(RunSyntheticRecording(rec, src), 0);

  MediaProbe m = ProbeMedia(rec.outputPath);
  ASSERT_TRUE(m.opened);
  EXPECT_EQ(m.majorBrand, "MSNV");
  EXPECT_EQ(m.video.codec, "mpeg4");
  EXPECT_EQ(m.video.profile, "Simple Profile");
  EXPECT_EQ(m.video.width, 320);
  EXPECT_EQ(m.video.decodeErrors, 0);
  EXPECT_EQ(m.audio.codec, "aac");
  EXPECT_EQ(m.audio.profile, "LC");
  EXPECT_EQ(m.audio.sampleRate, 48000);
  EXPECT_EQ(m.audio.channels, 2);
  ExpectDurationsMatch(m, 100, 29.97);
  EXPECT_EQ(m.video.keyFrames, (std::vector<int>{0, 12, 24, 36, 48, 60, 72, 84, 96}));
  std::string title;
  EXPECT_TRUE(ReadUsmtTitle(rec.outputPath, &title));
  EXPECT_EQ(title, "Synthetic clip");
  EXPECT_EQ(Ffprobe("-select_streams v -show_entries stream=r_frame_rate", rec.outputPath), "30000/1001\n");
  EXPECT_NEAR(std::stoi(Ffprobe("-select_streams a -show_entries stream=bit_rate", rec.outputPath)), 128000, 20000);
  EXPECT_EQ(RunCommand("ffmpeg -v error -i '" + rec.outputPath + "' -f null - 2>&1"), "");
}

TEST(RecordingEncoder, InlineH264IsMainProfileCabacWithTwoReferencesAndMonoSourceFillsBothChannels) {
  TempDir dir;
  PspMpeg4Profile();
  EncParams().Mp4VideoCodec = 1;
  SyntheticSource src;
  src.width = 480;
  src.height = 272;
  src.channels = 1;
  src.sampleRate = 48000;
  SyntheticRecording rec{dir.file("MAQ00001.MP4"), 2, 60, false};
  ASSERT_EQ(RunSyntheticRecording(rec, src), 0);

  MediaProbe m = ProbeMedia(rec.outputPath);
  EXPECT_EQ(m.majorBrand, "MSNV");
  EXPECT_EQ(m.video.codec, "h264");
  EXPECT_EQ(m.video.profile, "Main");
  EXPECT_EQ(m.audio.channels, 2);
  ExpectDurationsMatch(m, 60, 29.97);
  EXPECT_EQ(m.video.keyFrames.size(), 5u);
  EXPECT_EQ(Ffprobe("-select_streams v -show_entries stream=level", rec.outputPath), "21\n");
  std::string info = RunCommand("mediainfo --Inform='Video;%Format_Settings_CABAC% %Format_Settings_RefFrames%' '" +
                                rec.outputPath + "'");
  EXPECT_EQ(info, "Yes 2\n");
  // The level's rate limits hold, and the look-ahead stays one group long
  // (the buffer limit alone would make it about a second of pictures).
  const std::string settings =
      RunCommand("mediainfo --Inform='Video;%Encoded_Library_Settings%' '" + rec.outputPath + "'");
  EXPECT_NE(settings.find("vbv_maxrate=4000 / vbv_bufsize=4000"), std::string::npos) << settings;
  EXPECT_NE(settings.find("rc_lookahead=12 "), std::string::npos) << settings;
  // A mono source gives two identical channels: their difference is silent
  // but for coding noise (the short last frame aside), while the tone is loud.
  auto maxVolumeDb = [&](const char* filter) {
    std::string out = RunCommand("ffmpeg -v info -i '" + rec.outputPath + "' -af '" + filter +
                                 ",volumedetect' -t 1.5 -f null - 2>&1 | grep -o 'max_volume: [-0-9.]*'");
    return out.size() > 12 ? std::stod(out.substr(12)) : 0.0;
  };
  EXPECT_LT(maxVolumeDb("pan=mono|c0=c0-c1"), -50.0);
  EXPECT_GT(maxVolumeDb("pan=mono|c0=c1"), -20.0);
}

TEST(RecordingEncoder, SmallPartLimitGivesNumberedPartsWithNothingLost) {
  TempDir dir;
  PspMpeg4Profile();
  EncParams().videoKbps = 2000;
  SyntheticSource src;
  SyntheticRecording rec{dir.file("film.mp4"), 2, 240, true};
  rec.partLimitMiB = 0.45;
  ASSERT_EQ(RunSyntheticRecording(rec, src), 0);
  std::vector<std::string> parts = {dir.file("film.mp4")};
  for (int n = 2; std::filesystem::exists(dir.file("film - 0" + std::to_string(n) + ".mp4")); ++n)
    parts.push_back(dir.file("film - 0" + std::to_string(n) + ".mp4"));
  ASSERT_GE(parts.size(), 3u) << "film.mp4, film - 02.mp4, film - 03.mp4";
  long long frames = 0;
  double audio = 0;
  for (const auto& p : parts) {
    MediaProbe m = ProbeMedia(p);
    EXPECT_EQ(m.video.decodeErrors, 0) << p;
    EXPECT_NEAR(m.audio.durationSec, m.video.durationSec, 1 / 29.97) << p;
    frames += m.video.decodedFrames;
    audio += m.audio.durationSec;
  }
  EXPECT_EQ(frames, 240);
  EXPECT_NEAR(audio, 240 / 29.97, parts.size() / 29.97);
  EXPECT_EQ(Frame().GetOutputPath().rfind(dir.file("film - 0"), 0), 0u);
}

TEST(RecordingEncoder, FirstOfTwoPassesEncodesNoAudio) {
  TempDir dir;
  PspMpeg4Profile();
  SyntheticSource src;
  SyntheticRecording rec{dir.file("two.mp4"), 2, 30, true, 2, 1};
  ASSERT_EQ(RunSyntheticRecording(rec, src), 0);
  MediaProbe m = ProbeMedia(rec.outputPath);
  EXPECT_EQ(m.video.decodedFrames, 30);
  EXPECT_EQ(m.audio.decodedSamples, 0);
  EXPECT_FALSE(GetEncoderCounters().audioEnabled);

  ScriptedMessageBox box;
  box.Answer(mrYes);  // pass 2 writes the same file again
  rec.currentPass = 2;
  ASSERT_EQ(RunSyntheticRecording(rec, src), 0);
  m = ProbeMedia(rec.outputPath);
  ExpectDurationsMatch(m, 30, 29.97);
}

namespace {
// Pictures of each file.
std::vector<std::int64_t> PicturesOf(const std::vector<std::string>& parts) {
  std::vector<std::int64_t> pictures;
  for (const auto& p : parts) pictures.push_back(ProbeMedia(p).video.decodedFrames);
  return pictures;
}

// Every file in folder, by name.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Each part plays on its own, its sound as long as its pictures.
void ExpectPartsWithSound(const std::vector<std::string>& parts, double limitMiB) {
  for (const auto& p : parts) {
    SCOPED_TRACE(p);
    const MediaProbe m = ProbeMedia(p);
    ASSERT_TRUE(m.hasVideo && m.hasAudio);
    EXPECT_EQ(m.video.decodeErrors, 0);
    EXPECT_GT(m.audio.decodedSamples, 0);
    EXPECT_NEAR(m.audio.durationSec, m.video.durationSec, 1 / 29.97);
    EXPECT_LE(std::filesystem::file_size(p), limitMiB * 1048576);
  }
}
}  // namespace

// The second pass starts at the first part's name, not at the last part
// the first pass left the output path on, splits at the same pictures,
// asks nothing, and leaves the parts with their sound and nothing else.
TEST(RecordingEncoder, TwoPassesWithPartsWriteTheSamePartsAgainWithTheirSound) {
  TempDir dir;
  PspMpeg4Profile();
  ScriptedMessageBox box;
  SyntheticRecording rec{dir.file("film.mp4"), 2, 240, true, 2, 1};
  rec.partLimitMiB = 0.45;
  SyntheticSource first;
  ASSERT_EQ(RunSyntheticRecording(rec, first), 0);
  const std::vector<std::string> parts = RecordingParts();
  ASSERT_EQ(parts, (std::vector<std::string>{dir.file("film.mp4"), dir.file("film - 02.mp4"), dir.file("film - 03.mp4")}));
  for (const auto& p : parts) EXPECT_TRUE(std::filesystem::exists(p + ".passlog")) << p;
  const std::vector<std::int64_t> pictures = PicturesOf(parts);

  rec.currentPass = 2;
  SyntheticSource second;
  ASSERT_EQ(RunSyntheticRecording(rec, second), 0);
  EXPECT_EQ(RecordingParts(), parts);
  EXPECT_EQ(PicturesOf(parts), pictures) << "split at the first pass's pictures";
  ExpectPartsWithSound(parts, rec.partLimitMiB);
  EXPECT_TRUE(box.texts.empty()) << "the second pass asks nothing";
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"film - 02.mp4", "film - 03.mp4", "film.mp4"}))
      << "no statistics left, no parts of parts";
}

// A second pass stopped early keeps its own parts, with their sound; the
// first pass's soundless parts beyond them go.
TEST(RecordingEncoder, AShorterSecondPassLeavesOnlyItsOwnParts) {
  TempDir dir;
  PspMpeg4Profile();
  SyntheticRecording rec{dir.file("film.mp4"), 2, 240, true, 2, 1};
  rec.partLimitMiB = 0.45;
  SyntheticSource first;
  ASSERT_EQ(RunSyntheticRecording(rec, first), 0);
  ASSERT_EQ(RecordingParts().size(), 3u);
  rec.currentPass = 2;
  rec.frames = 100;
  SyntheticSource second;
  ASSERT_EQ(RunSyntheticRecording(rec, second), 0);
  const std::vector<std::string> parts = RecordingParts();
  EXPECT_EQ(parts, (std::vector<std::string>{dir.file("film.mp4"), dir.file("film - 02.mp4")}));
  ExpectPartsWithSound(parts, rec.partLimitMiB);
  std::int64_t pictures = 0;
  for (std::int64_t n : PicturesOf(parts)) pictures += n;
  EXPECT_EQ(pictures, 100);
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"film - 02.mp4", "film.mp4"}));
}

// A second pass that is handed more pictures than the first took (the
// first was stopped between two whole seconds) ends with the first's last
// picture and its sound: every picture has its statistics.
TEST(RecordingEncoder, ASecondPassEndsWithTheFirstPassesLastPicture) {
  TempDir dir;
  PspMpeg4Profile();
  SyntheticRecording rec{dir.file("two.mp4"), 2, 60, true, 2, 1};
  SyntheticSource first;
  ASSERT_EQ(RunSyntheticRecording(rec, first), 0);
  rec.currentPass = 2;
  rec.frames = 75;
  SyntheticSource second;
  ASSERT_EQ(RunSyntheticRecording(rec, second), 0);
  EXPECT_FALSE(EncoderOutputFailed());
  ExpectDurationsMatch(ProbeMedia(rec.outputPath), 60, 29.97);
}

TEST(RecordingEncoder, OverwriteQuestionAndTheTwoOutputErrors) {
  TempDir dir;
  PspMpeg4Profile();
  SyntheticSource src;
  const std::string path = dir.file("exists.mp4");
  WriteFileBytes(path, "keep me");
  {
    ScriptedMessageBox box;
    box.Answer(mrNo);
    SyntheticRecording rec{path, 2, 10, true};
    EXPECT_EQ(RunSyntheticRecording(rec, src), -1);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], path + " already exists. Overwrite?");
    EXPECT_EQ(ReadFileBytes(path), "keep me");
  }
  {
    ScriptedMessageBox box;
    SyntheticRecording rec{dir.file("no/such/folder/out.mp4"), 2, 10, true};
    EXPECT_EQ(RunSyntheticRecording(rec, src), -1);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_NE(box.texts[0].find("Output folder does not exist"), std::string::npos);
  }
  {
    // Something that cannot be written exists at the path (a folder, so
    // the test holds even for root).
    ScriptedMessageBox box;
    box.Answer(mrYes);
    std::filesystem::create_directory(dir.file("busy.mp4"));
    SyntheticRecording rec{dir.file("busy.mp4"), 2, 10, true};
    EXPECT_EQ(RunSyntheticRecording(rec, src), -1);
    ASSERT_EQ(box.texts.size(), 2u);
    EXPECT_NE(box.texts[1].find("The file is read-only or being used by other applications"), std::string::npos);
  }
}

TEST(RecordingEncoder, FullDiskAtOpenIsReported) {
  // /dev/full opens and then fails every write with "no space".
  PspMpeg4Profile();
  ScriptedMessageBox box;
  box.Answer(mrYes);
  SyntheticSource src;
  SyntheticRecording rec{"/dev/full", 2, 20, true};
  EXPECT_EQ(RunSyntheticRecording(rec, src), -1);
  EXPECT_FALSE(Mp4IsOpen());
  ASSERT_EQ(box.texts.size(), 2u);
  EXPECT_NE(box.texts[1].find("Cannot create output file"), std::string::npos);
}

TEST(RecordingEncoder, WriteFailureMidRecordingStopsCleanlyWithoutHanging) {
  // A file-size limit makes writes fail part way, as a full disk does.
  TempDir dir;
  PspMpeg4Profile();
  EncParams().videoKbps = 3000;
  SyntheticSource src;
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = {200 * 1024, old.rlim_max};
  setrlimit(RLIMIT_FSIZE, &small);
  SyntheticRecording rec{dir.file("full.mp4"), 2, 300, true};
  const int opened = RunSyntheticRecording(rec, src);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(opened, 0);
  EXPECT_TRUE(EncoderOutputFailed());
  EXPECT_FALSE(Mp4IsOpen());
  // A file without its index plays nowhere: it is not left as an output.
  EXPECT_FALSE(std::filesystem::exists(rec.outputPath));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 0)
      << "nor its temporary file";
}

TEST(RecordingEncoder, OtherFrameRatesKeepTheirSpeed) {
  TempDir dir;
  PspMpeg4Profile();
  SyntheticSource src;
  src.frameRate = 25;
  SyntheticRecording rec{dir.file("pal.mp4"), 2, 50, false};
  ASSERT_EQ(RunSyntheticRecording(rec, src), 0);
  MediaProbe m = ProbeMedia(rec.outputPath);
  EXPECT_NEAR(m.video.frameRate, 25.0, 0.01);
  ExpectDurationsMatch(m, 50, 25.0);

  src = SyntheticSource();
  src.frameRate = 14.985;
  rec = {dir.file("low.mp4"), 2, 30, true};
  ASSERT_EQ(RunSyntheticRecording(rec, src), 0);
  m = ProbeMedia(rec.outputPath);
  EXPECT_EQ(Ffprobe("-select_streams v -show_entries stream=r_frame_rate", rec.outputPath), "15000/1001\n");
  ExpectDurationsMatch(m, 30, 14.985);
}
