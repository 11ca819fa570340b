// Faults during a conversion: the output folder removed, the disk full, the
// source deleted, the settings file read-only. Each ends with its message or
// goes on, and nothing hangs or is corrupted.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "app/control/headless_host.h"
#include "app/control/profile_choice.h"
#include "app/control/recording_control.h"
#include "core/frame_state.h"
#include "platform/registry/registry.h"
#include "profiles/profile.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/media_probe.h"
#include "tests/support/engine_test.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {
class Faults : public EngineTest {
 protected:
  // Opens a clip of seconds and names the output; returns its path.
  std::string Open(double seconds, const std::string& outFolder) {
    return OpenFromStart(Clip(FixtureKind::kHd720, seconds), outFolder + "/M4V20001.MP4");
  }
  bool Told(const std::string& part) const {
    for (const auto& t : box_.texts)
      if (t.find(part) != std::string::npos) return true;
    return false;
  }

};

TEST_F(Faults, OutputFolderRemovedDuringTheConversionStopsItWithAMessage) {
  fs::create_directories(dir_.file("gone"));
  const std::string out = Open(30.0, dir_.file("gone"));
  bool removed = false;
  const HostRun run = host_.Convert([&] {
    if (!removed && RecordedSeconds() > 1.0) {
      fs::remove_all(dir_.file("gone"));
      removed = true;
    }
    return false;
  });
  ASSERT_TRUE(removed);
  EXPECT_FALSE(run.finished);
  EXPECT_TRUE(Told("was removed while it was written"));
  EXPECT_EQ(host_.finishedNotices, 0);
  EXPECT_EQ(AppSettings().fileNumber, 20001) << "no file was finished";
  // The engine converts the next file.
  Frame().SetOutputPath(dir_.file("out/M4V20001.MP4"));
  host_.MovePositionLow(0);
  host_.SetPositionHigh(2);
  EXPECT_TRUE(host_.Convert().finished);
  EXPECT_TRUE(ProbeMedia(dir_.file("out/M4V20001.MP4")).hasVideo);
}

TEST_F(Faults, AFullDiskStopsTheConversionWithAMessage) {
  const std::string out = Open(30.0, dir_.file("out"));
  // Files of this process may not grow beyond 1 MiB: the disk is "full".
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1 << 20;
  setrlimit(RLIMIT_FSIZE, &small);
  const HostRun run = host_.Convert();
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(run.finished);
  EXPECT_FALSE(run.stalled) << "stopped by the failure, not by the watchdog";
  EXPECT_TRUE(Told("could not be written"));
  EXPECT_FALSE(fs::exists(out)) << "a file without its index is no output";
}

// The second of two passes cannot create its output (a folder has taken
// the output's name meanwhile): the user is told, the conversion ends as a
// failed one with the pass counter back at 1 and no statistics left, and
// the next conversion runs both its passes.
TEST_F(Faults, ASecondPassThatCannotStartEndsTheConversion) {
  Frame().PassCount = 2;
  const std::string out = Open(4.0, dir_.file("out"));
  bool replaced = false;
  const HostRun run = host_.Convert([&] {
    if (!replaced && Frame().CurrentPass == 1 && RecordedSeconds() > 1.0) {
      fs::remove(out);
      replaced = fs::create_directory(out);
    }
    return false;
  });
  ASSERT_TRUE(replaced);
  EXPECT_FALSE(run.finished);
  EXPECT_TRUE(Told("Cannot create output file"));
  EXPECT_FALSE(Frame().IsRecording);
  EXPECT_EQ(Frame().CurrentPass, 1);
  EXPECT_EQ(host_.finishedNotices, 0);
  EXPECT_FALSE(fs::exists(out + ".passlog")) << "no statistics left";
  fs::remove(out);
  Frame().SetOutputPath(out);
  host_.MovePositionLow(0);
  host_.SetPositionHigh(2);
  EXPECT_TRUE(host_.Convert().finished);
  const MediaProbe p = ProbeMedia(out);
  EXPECT_TRUE(p.hasVideo && p.hasAudio);
  EXPECT_EQ(Frame().CurrentPass, 1);
}

TEST_F(Faults, ASourceDeletedWhileItPlaysStillConverts) {
  const std::string out = Open(4.0, dir_.file("out"));
  bool deleted = false;
  const HostRun run = host_.Convert([&] {
    if (!deleted && RecordedSeconds() > 0.5) deleted = fs::remove(dir_.file("clip.mp4"));
    return false;
  });
  EXPECT_TRUE(deleted);
  EXPECT_TRUE(run.finished);
  const MediaProbe p = ProbeMedia(out);
  EXPECT_NEAR(p.video.durationSec, 4.0, 0.034) << "the open file reads on";
}

TEST_F(Faults, AReadOnlySettingsFileIsLeftAloneAndTheConversionGoesOn) {
  WriteSettingInt("OutputConfig", "file_number", 20001);
  const std::string settings = RegistryFilePath();
  const std::string before = ReadFileBytes(settings);
  ASSERT_FALSE(before.empty());
  chmod(settings.c_str(), 0444);
  const std::string out = Open(2.0, dir_.file("out"));
  const HostRun run = host_.Convert();
  chmod(settings.c_str(), 0644);
  EXPECT_TRUE(run.finished);
  EXPECT_TRUE(ProbeMedia(out).hasVideo);
  EXPECT_EQ(AppSettings().fileNumber, 20002) << "the next number is used in this run";
  EXPECT_EQ(ReadFileBytes(settings), before) << "the settings file is not touched";
}
}  // namespace
