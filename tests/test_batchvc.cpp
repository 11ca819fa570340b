// The batch converter run as a process on fixture clips, each run with a
// home, settings folder and temporary folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "settings/settings_store.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/media_probe.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;
constexpr double kOutFps = 30000.0 / 1001;
// A run that takes longer than this has hung.
constexpr auto kRunLimit = std::chrono::seconds(300);

struct BatchRun {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out, err;
};

// Width and height from a JPEG's baseline frame header, or 0 x 0.
std::pair<int, int> JpegSize(const std::string& bytes) {
  if (bytes.size() < 4 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xD8)
    return {0, 0};
  for (size_t i = 2; i + 9 < bytes.size(); ++i)
    if (static_cast<unsigned char>(bytes[i]) == 0xFF && static_cast<unsigned char>(bytes[i + 1]) == 0xC0) {
      const auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
      return {b(7) << 8 | b(8), b(5) << 8 | b(6)};
    }
  return {0, 0};
}

class Batchvc : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("home/.config"));
    fs::create_directories(dir_.file("tmp"));
    // The settings the runs use, read and written here as well.
    setenv("XDG_CONFIG_HOME", dir_.file("home/.config").c_str(), 1);
  }

  std::string Clip(FixtureKind kind, double seconds, const std::string& name, FixtureOptions options = {}) {
    const std::string path = dir_.file(name);
    EXPECT_EQ(MakeFixture(kind, path, seconds, options), "") << name;
    return path;
  }

  std::vector<std::string> Environment() const {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string v = *e;
      if (v.rfind("HOME=", 0) && v.rfind("XDG_CONFIG_HOME=", 0) && v.rfind("XDG_DATA_HOME=", 0) &&
          v.rfind("TMPDIR=", 0))
        env.push_back(v);
    }
    env.push_back("HOME=" + dir_.file("home"));
    env.push_back("XDG_CONFIG_HOME=" + dir_.file("home/.config"));
    env.push_back("TMPDIR=" + dir_.file("tmp"));
    return env;
  }

  // Starts batchvc in the test's folder with standard input from /dev/null,
  // standard output to a file and standard error to errFd (a file or pipe).
  // wrapper, when given, runs batchvc (its first word is looked up in PATH).
  pid_t Spawn(const std::vector<std::string>& args, int errFd, const std::vector<std::string>& wrapper = {}) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, dir_.file("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&fa, errFd, 2);
    posix_spawn_file_actions_addchdir_np(&fa, dir_.path().c_str());
    std::vector<std::string> argv = wrapper;
    argv.push_back(BATCHVC_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> av, ev;
    for (auto& a : argv) av.push_back(a.data());
    av.push_back(nullptr);
    std::vector<std::string> env = Environment();
    for (auto& e : env) ev.push_back(e.data());
    ev.push_back(nullptr);
    pid_t pid = -1;
    const int rc = wrapper.empty() ? posix_spawn(&pid, BATCHVC_PATH, &fa, nullptr, av.data(), ev.data())
                                   : posix_spawnp(&pid, wrapper[0].c_str(), &fa, nullptr, av.data(), ev.data());
    posix_spawn_file_actions_destroy(&fa);
    EXPECT_EQ(rc, 0);
    return rc == 0 ? pid : -1;
  }

  // Waits for the process; kills it (and fails) when it outlives the limit.
  static int Wait(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "batchvc hung";
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  BatchRun Run(const std::vector<std::string>& args, const std::vector<std::string>& wrapper = {}) {
    const std::string errPath = dir_.file("stderr.txt");
    const int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = Spawn(args, errFd, wrapper);
    close(errFd);
    BatchRun r;
    if (pid > 0) r.status = Wait(pid);
    r.out = ReadFileBytes(dir_.file("stdout.txt"));
    r.err = ReadFileBytes(errPath);
    return r;
  }

  // Runs batchvc with standard error on a pipe, sends SIGINT once the first
  // progress line is there, and collects what it said.
  BatchRun InterruptAtFirstProgress(const std::vector<std::string>& args) { return InterruptAt("Recorded", args); }

  // The same, once standard error shows mark.
  BatchRun InterruptAt(const std::string& mark, const std::vector<std::string>& args) {
    return AtProgress(mark, args, [](pid_t pid) { kill(pid, SIGINT); });
  }

  // Runs batchvc with standard error on a pipe, does what the test says
  // once the first progress line is there, and collects what it said.
  BatchRun AtFirstProgress(const std::vector<std::string>& args, const std::function<void(pid_t)>& action) {
    return AtProgress("Recorded", args, action);
  }

  // The same, once standard error shows mark.
  BatchRun AtProgress(const std::string& mark, const std::vector<std::string>& args,
                      const std::function<void(pid_t)>& action) {
    BatchRun r;
    int fds[2];
    if (pipe(fds) != 0) {
      ADD_FAILURE() << "no pipe";
      return r;
    }
    const pid_t pid = Spawn(args, fds[1]);
    close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    char buf[512];
    while (pid > 0 && r.err.find(mark) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      const ssize_t n = read(fds[0], buf, sizeof(buf));
      if (n <= 0) break;
      r.err.append(buf, static_cast<size_t>(n));
    }
    EXPECT_NE(r.err.find(mark), std::string::npos) << r.err;
    if (pid > 0) {
      action(pid);
      r.status = Wait(pid);
    }
    for (ssize_t n; (n = read(fds[0], buf, sizeof(buf))) > 0;) r.err.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    r.out = ReadFileBytes(dir_.file("stdout.txt"));
    return r;
  }

  static void ExpectPspFile(const std::string& path, const char* codec, double seconds, int width = 320,
                            int height = 240) {
    SCOPED_TRACE(path);
    const MediaProbe p = ProbeMedia(path);
    ExpectPspOutput(p, seconds, width, height);
    EXPECT_EQ(p.video.codec, codec);
  }

  static void ExpectThumbnail(const std::string& mp4) {
    const std::string thm = mp4.substr(0, mp4.rfind('.')) + ".THM";
    EXPECT_EQ(JpegSize(ReadFileBytes(thm)), std::make_pair(160, 120)) << thm;
  }

  TempDir dir_;
};

// Relative names on purpose: the engine enters the program folder while it
// converts, and the second file must still be found.
TEST_F(Batchvc, ConvertsABatchIntoNumberedPspFilesEachWithItsThumbnail) {
  Clip(FixtureKind::kH264AacMp4, 3.0, "first clip.mp4");
  Clip(FixtureKind::kHd720, 3.0, "second.mp4");
  WriteSettingInt("OutputConfig", "file_number", 30005);
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "first clip.mp4", "second.mp4"});
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("out/M4V30005.MP4"), "mpeg4", 3.0);
  ExpectPspFile(dir_.file("out/M4V30006.MP4"), "mpeg4", 3.0, 368, 208);
  // The 320x240 clip is not scaled (no thumbnail during the conversion),
  // the 720p one is: both ways end with a thumbnail.
  ExpectThumbnail(dir_.file("out/M4V30005.MP4"));
  ExpectThumbnail(dir_.file("out/M4V30006.MP4"));
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 30007) << "raised once per file and stored";
  std::string title;
  ASSERT_TRUE(ReadUsmtTitle(dir_.file("out/M4V30005.MP4"), &title));
  EXPECT_EQ(title, "first clip") << "the title defaults to the source's name";
  // Standard error is no terminal: plain progress lines, and a summary.
  EXPECT_NE(r.err.find("% Recorded 0:00:0"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Converted 2 of 2 file(s)"), std::string::npos) << r.out;
}

TEST_F(Batchvc, RangeTitleAndH264ProfileAreHonoured) {
  Clip(FixtureKind::kH264AacMp4, 8.0, "long.mp4");
  const BatchRun r = Run({"--profile=PSP AVC 320x240", "--start", "0:02", "--duration", "3", "--title", "Holiday",
                          "--output-folder", "out", "long.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string out = dir_.file("out/MAQ20001.MP4");
  ExpectPspFile(out, "h264", 3.0);
  EXPECT_EQ(ProbeMedia(out).video.profile, "Main");
  std::string title;
  ASSERT_TRUE(ReadUsmtTitle(out, &title));
  EXPECT_EQ(title, "Holiday");
  ExpectThumbnail(out);
}

// Sound that goes on 30 s after the last picture: the picture holds until
// the sound ends; the run does not give up on the source for delivering no
// picture all that time.
TEST_F(Batchvc, SoundOutlastingThePicturesBy30sConverts) {
  Clip(FixtureKind::kH264AacMp4, 35.0, "talk.mp4", {.pictureSeconds = 5});
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "talk.mp4"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("no picture"), std::string::npos) << r.err;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 35.0);
}

TEST_F(Batchvc, TwoPassesWriteOneFileOverTheRange) {
  Clip(FixtureKind::kH264AacMp4, 6.0, "clip.mp4");
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--passes", "2", "--start", "1", "--duration", "0:00:03",
                          "--output-folder", "out", "clip.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 3.0);
  EXPECT_FALSE(fs::exists(dir_.file("out/M4V20001 - 02.MP4")));
  EXPECT_NE(r.err.find("[Pass 2 of 2]"), std::string::npos) << r.err;
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 20002) << "one number for both passes";
}

// Still colour bars and a zoom into a fractal by turns, 2.5 s each: a clip
// whose quiet stretches need few bits and whose busy ones need many.
std::string MakeChangingClip(const std::string& path, int seconds) {
  int status = 0;
  const std::string said = RunCommand(
      "ffmpeg -v error -y -f lavfi -i mandelbrot=size=320x240:rate=25 -f lavfi -i smptebars=size=320x240:rate=25 "
      "-f lavfi -i sine=frequency=440:sample_rate=48000 -filter_complex "
      "\"[0:v]format=yuv420p[m];[m][1:v]overlay=enable='lt(mod(t,5),2.5)'[v]\" -map \"[v]\" -map 2:a -t " +
          std::to_string(seconds) + " -c:v libx264 -preset ultrafast -qp 0 -c:a aac '" + path + "' 2>&1",
      &status);
  EXPECT_EQ(status, 0) << said;
  return path;
}

double VideoKbps(const std::string& path) {
  return std::atof(RunCommand("ffprobe -v error -select_streams v -show_entries stream=bit_rate -of csv=p=0 '" + path +
                              "'")
                       .c_str()) /
         1000;
}

std::string VideoDigest(const std::string& path) {
  return RunCommand("ffmpeg -v error -i '" + path + "' -map 0:v -c copy -f md5 -");
}

// Every file in folder, by name.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Each part plays on its own, with its sound, within the part limit.
// Returns the parts' names as the summary lists them; seconds receives
// their pictures' length.
std::string ExpectPartsWithSound(const std::vector<std::string>& parts, double limitMiB, double* seconds) {
  std::string names;
  *seconds = 0;
  for (const std::string& p : parts) {
    SCOPED_TRACE(p);
    names += (names.empty() ? "" : ", ") + p;
    const MediaProbe m = ProbeMedia(p);
    EXPECT_TRUE(m.hasVideo && m.hasAudio);
    EXPECT_EQ(m.video.decodeErrors, 0);
    EXPECT_GT(m.audio.decodedSamples, 0);
    // A part ends with the sound of its own pictures, also when the sound
    // comes late on a loaded machine.
    EXPECT_NEAR(m.audio.durationSec, m.video.durationSec, 0.1);
    EXPECT_LE(fs::file_size(p), limitMiB * 1048576);
    EXPECT_EQ(RunCommand("ffmpeg -v error -i '" + p + "' -f null - 2>&1"), "");
    *seconds += m.video.durationSec;
  }
  return names;
}

// The second pass encodes with what the first learnt about the pictures:
// its video differs from one pass's and its rate lies much closer to the
// profile's (768 kbit/s for MPEG-4, 500 for H.264), where one pass spends
// far too much on the busy stretches. No statistics are left behind.
TEST_F(Batchvc, TwoPassesLandCloserToTheTargetRateThanOne) {
  MakeChangingClip(dir_.file("changing.mp4"), 10);
  struct Case {
    const char* profile;
    const char* codec;
    double kbps;
  };
  for (const Case& c : {Case{"PSP MPEG-4 320x240", "mpeg4", 768}, Case{"PSP AVC 320x240", "h264", 500}}) {
    SCOPED_TRACE(c.codec);
    double rate[3] = {0, 0, 0};
    std::string digest[3];
    for (int passes : {1, 2}) {
      const std::string out = dir_.file("out/" + std::string(c.codec) + std::to_string(passes) + ".MP4");
      const BatchRun r = Run({"--profile", c.profile, "--passes", std::to_string(passes), "--output", out, "changing.mp4"});
      ASSERT_EQ(r.status, 0) << r.err;
      ExpectPspFile(out, c.codec, 10.0);
      rate[passes] = VideoKbps(out);
      digest[passes] = VideoDigest(out);
    }
    std::printf("%s: one pass %.0f kbit/s, two passes %.0f kbit/s, target %.0f\n", c.codec, rate[1], rate[2], c.kbps);
    EXPECT_NE(digest[1], digest[2]);
    EXPECT_LT(std::fabs(rate[2] - c.kbps), 0.5 * std::fabs(rate[1] - c.kbps)) << "at least half as far off";
  }
  EXPECT_EQ(FilesIn(dir_.file("out")), (std::vector<std::string>{"h2641.MP4", "h2641.THM", "h2642.MP4", "h2642.THM",
                                                                  "mpeg41.MP4", "mpeg41.THM", "mpeg42.MP4", "mpeg42.THM"}))
      << "no statistics left";
}

// A still picture full of detail needs more than 384 kbit/s however it is
// quantised: the encoder refuses the second pass's plan, and the file is
// converted in one pass instead of the program going down.
TEST_F(Batchvc, TwoPassesOfADetailedStillPictureStillConvert) {
  int status = 0;
  const std::string said = RunCommand(
      "ffmpeg -v error -y -f lavfi -i "
      "'testsrc2=size=320x240:rate=30000/1001,noise=alls=60,trim=end_frame=1,loop=loop=-1:size=1' "
      "-f lavfi -i sine=sample_rate=48000 -t 6 -c:v libx264 -preset ultrafast -qp 0 -c:a aac '" +
          dir_.file("still.mp4") + "' 2>&1",
      &status);
  ASSERT_EQ(status, 0) << said;
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--bitrate", "384", "--passes", "2", "--output-folder",
                          "out", "still.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 6.0);
}

// With a part limit of 1 MiB both passes write their parts under the same
// names; what is left is the second pass's, every part with its sound, and
// the summary names exactly those files.
TEST_F(Batchvc, TwoPassesWithPartsLeaveCompletePartsWithSound) {
  Clip(FixtureKind::kH264AacMp4, 30.0, "clip.mp4");
  WriteSettingInt("OutputConfig", "Volume", 1);
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--passes", "2", "--output-folder", "out", "clip.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> parts = {dir_.file("out/M4V20001.MP4")};
  for (int n = 2; n < 10; ++n) {
    const std::string part = dir_.file("out/M4V20001 - 0" + std::to_string(n) + ".MP4");
    if (!fs::exists(part)) break;
    parts.push_back(part);
  }
  ASSERT_GE(parts.size(), 3u);
  double seconds = 0;
  const std::string names = ExpectPartsWithSound(parts, 1.0, &seconds);
  EXPECT_NEAR(seconds, 30.0, 1 / kOutFps);
  EXPECT_NE(r.out.find("Converted " + names + " ("), std::string::npos) << r.out;
  std::vector<std::string> expected;
  for (const std::string& p : parts) {
    expected.push_back(fs::path(p).filename());
    expected.push_back(fs::path(p).stem().string() + ".THM");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesIn(dir_.file("out")), expected) << "no statistics, no soundless first-pass parts";
}

// Ctrl-C early in the second pass: the parts it wrote are finished and
// keep their sound; the first pass's soundless parts beyond them are gone.
TEST_F(Batchvc, CtrlCInTheSecondPassKeepsItsOwnPartsWithSound) {
  Clip(FixtureKind::kH264AacMp4, 60.0, "long.mp4");
  WriteSettingInt("OutputConfig", "Volume", 1);
  const BatchRun r =
      InterruptAt("[Pass 2 of 2]", {"--passes", "2", "--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "long.mp4"});
  EXPECT_EQ(r.status, 130);
  std::vector<std::string> parts;
  for (const std::string& name : FilesIn(dir_.file("out")))
    if (name.size() > 4 && name.substr(name.size() - 4) == ".MP4") parts.push_back(dir_.file("out/" + name));
  ASSERT_FALSE(parts.empty());
  // The second pass started at the first part's name and went on from there.
  std::vector<std::string> expected = {dir_.file("out/M4V20001.MP4")};
  for (size_t n = 2; n <= parts.size(); ++n)
    expected.push_back(dir_.file("out/M4V20001 - 0" + std::to_string(n) + ".MP4"));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(parts, expected);
  std::sort(parts.begin(), parts.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;  // the plain name first
  });
  double seconds = 0;
  const std::string names = ExpectPartsWithSound(parts, 1.0, &seconds);
  EXPECT_LT(seconds, 59.0) << "stopped early";
  EXPECT_NE(r.err.find("stopped: " + names + " is playable up to"), std::string::npos) << r.err;
}

TEST_F(Batchvc, FilesTheEngineRefusesFailWhileTheOthersConvert) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "good1.mp4");
  Clip(FixtureKind::kNoVideo, 2.0, "song.m4a");
  Clip(FixtureKind::kMpeg2Mp2Ps, 2.0, "good2.mpg");
  WriteFileBytes(dir_.file("notes.avi"), "this is not a video\n");
  fs::create_directories(dir_.file("folder.mp4"));
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "missing.mp4", "good1.mp4",
                          "notes.avi", "song.m4a", "folder.mp4", "good2.mpg"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.mp4: no such file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("folder.mp4: is a folder"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("notes.avi: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("song.m4a: Video cannot be played."), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Batch Mode"), std::string::npos) << "no advice to use the batch converter";
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 2.0);
  ExpectPspFile(dir_.file("out/M4V20002.MP4"), "mpeg4", 2.0);
  EXPECT_FALSE(fs::exists(dir_.file("out/M4V20003.MP4")));
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 20003) << "failed files take no number";
  EXPECT_NE(r.out.find("Converted 2 of 6 file(s)"), std::string::npos) << r.out;
}

TEST_F(Batchvc, AnExistingOutputIsOnlyOverwrittenWithYes) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "clip.mp4");
  WriteFileBytes(dir_.file("mine.MP4"), "keep me");
  // Nobody at a terminal to ask: the file is kept and the run fails.
  BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output", "mine.MP4", "clip.mp4"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadFileBytes(dir_.file("mine.MP4")), "keep me");
  EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
  r = Run({"--yes", "--profile", "PSP MPEG-4 320x240", "--output", "mine.MP4", "clip.mp4"});
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("mine.MP4"), "mpeg4", 2.0);
  ExpectThumbnail(dir_.file("mine.MP4"));
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 20001), 20001) << "a named output takes no number";
}

TEST_F(Batchvc, TheSourceIsNeverItsOwnOutput) {
  fs::create_directories(dir_.file("stick"));
  Clip(FixtureKind::kH264AacMp4, 2.0, "stick/M4V20001.MP4");
  const std::string before = ReadFileBytes(dir_.file("stick/M4V20001.MP4"));
  const BatchRun r = Run({"--yes", "--profile", "PSP MPEG-4 320x240", "--output-folder", "stick", "stick/M4V20001.MP4"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is the source itself"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(dir_.file("stick/M4V20001.MP4")), before);
}

TEST_F(Batchvc, CtrlCFinishesTheOutputPlayableUpToWhereItStopped) {
  Clip(FixtureKind::kH264AacMp4, 60.0, "long.mp4");
  Clip(FixtureKind::kH264AacMp4, 2.0, "next.mp4");
  const BatchRun r = InterruptAtFirstProgress({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "long.mp4",
                                               "next.mp4"});
  EXPECT_EQ(r.status, 130);
  EXPECT_NE(r.err.find("playable up to"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1 file(s) not started"), std::string::npos) << r.err;
  const MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.MP4"));
  ASSERT_TRUE(p.opened && p.hasVideo && p.hasAudio);
  EXPECT_EQ(p.video.decodeErrors, 0);
  EXPECT_GE(p.video.durationSec, 1.0);
  EXPECT_LT(p.video.durationSec, 59.0);
  EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, 2 / kOutFps);
  ExpectThumbnail(dir_.file("out/M4V20001.MP4"));
  EXPECT_FALSE(fs::exists(dir_.file("out/M4V20002.MP4"))) << "the batch ends with the stopped file";
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 20002) << "the kept file keeps its number";
}

// The first of two passes writes no sound: stopped there, nothing usable
// is left, and the second pass is not started.
TEST_F(Batchvc, CtrlCInTheFirstOfTwoPassesLeavesNoOutput) {
  Clip(FixtureKind::kH264AacMp4, 30.0, "long.mp4");
  const BatchRun r = InterruptAtFirstProgress(
      {"--passes", "2", "--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "long.mp4"});
  EXPECT_EQ(r.status, 130);
  EXPECT_NE(r.err.find("stopped in the first of two passes"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("[Pass 2 of 2]"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_.file("out/M4V20001.MP4")));
  EXPECT_FALSE(fs::exists(dir_.file("out/M4V20001.THM")));
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 20001) << "the number is free again";
}

TEST_F(Batchvc, TitlesAreShownAndChangedInPlace) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "clip.mp4");
  ASSERT_EQ(Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "clip.mp4"}).status, 0);
  const std::string out = dir_.file("out/M4V20001.MP4");
  const MediaProbe before = ProbeMedia(out);
  BatchRun r = Run({"--show-title", out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "clip\n");
  r = Run({"--set-title", "Sommerferien am Meer, Tag 1", out});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Run({"--show-title", out, "clip.mp4"});
  EXPECT_EQ(r.status, 1) << "the source has no PSP title";
  EXPECT_EQ(r.out, out + ": Sommerferien am Meer, Tag 1\n");
  EXPECT_NE(r.err.find("clip.mp4: has no PSP title"), std::string::npos) << r.err;
  // A shorter title shrinks the file; the video is untouched either way.
  ASSERT_EQ(Run({"--set-title", "Tag 1", out}).status, 0);
  EXPECT_EQ(Run({"--show-title", out}).out, "Tag 1\n");
  const MediaProbe after = ProbeMedia(out);
  EXPECT_EQ(after.video.decodedFrames, before.video.decodedFrames);
  EXPECT_EQ(after.video.decodeErrors, 0);
  EXPECT_EQ(after.audio.decodedSamples, before.audio.decodedSamples);
  // Only ".mp4" names carry titles, and nothing is written to others.
  fs::copy_file(out, dir_.file("copy.m4v"));
  r = Run({"--set-title", "x", "copy.m4v"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("only files named .mp4"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(dir_.file("copy.m4v")), ReadFileBytes(out));
}

// Titles count characters, not UTF-16 units: 200 emoji are stored and
// shown whole without a warning; 300 are cut to 255 with one.
TEST_F(Batchvc, TitlesOfUpTo255CharactersInAnyScriptAreKeptWhole) {
  const std::string clip = dir_.file("M4V20001.MP4");
  int rc = -1;
  const std::string made = RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi "
                                      "-i sine -t 0.5 -c:v mpeg4 -c:a aac -metadata title=Short -f psp '" + clip + "' 2>&1", &rc);
  ASSERT_EQ(rc, 0) << made;
  std::string emoji;
  for (int i = 0; i < 300; ++i) emoji += "\xF0\x9F\x8E\xAC";  // 🎬
  const std::string title200 = emoji.substr(0, 200 * 4);
  BatchRun r = Run({"--set-title", title200, clip});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Run({"--show-title", clip}).out, title200 + "\n");

  r = Run({"--set-title", emoji, clip});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("the title is cut to its first 255 characters"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"--show-title", clip}).out, emoji.substr(0, 255 * 4) + "\n");
}

TEST_F(Batchvc, DemoConvertsItsOwnClipWithoutTouchingTheUsersSettings) {
  const BatchRun r = Run({"--demo"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto at = r.out.find("Folder: ");
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::string folder = r.out.substr(at + 8, r.out.find('\n', at) - at - 8);
  EXPECT_EQ(folder.rfind(dir_.file("tmp/"), 0), 0u) << "in the temporary folder: " << folder;
  ExpectPspFile(folder + "/M4V20001.MP4", "mpeg4", 10.0, 368, 208);
  ExpectThumbnail(folder + "/M4V20001.MP4");
  EXPECT_FALSE(fs::exists(dir_.file("home/.config/Corvane"))) << "the user's settings are not created";
  EXPECT_FALSE(fs::exists(dir_.file("home/Desktop"))) << "nor the desktop folder";
}

TEST_F(Batchvc, ListsTheProfilesOneALine) {
  const BatchRun r = Run({"--list-profiles"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("PSP MPEG-4 320x240\tmpeg4 320x240 29.97 fps 768 kbit/s\taac 48000 Hz 2 ch 128 kbit/s\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("PSP AVC 320x240\th264 320x240 29.97 fps 500 kbit/s\t"), std::string::npos) << r.out;
  const BatchRun bad = Run({"--profile", "No Such Profile", "x.mp4"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("no profile named \"No Such Profile\""), std::string::npos) << bad.err;
}
// The picture size follows the shape of the source as it is shown: a
// 16:9 source gets the widescreen size, a phone's portrait video (stored
// on its side, turned by its rotation) keeps its shape between black bars.
TEST_F(Batchvc, PictureSizeFollowsTheShapeOfTheSource) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "wide.mp4", {.width = 1920, .height = 1080});
  Clip(FixtureKind::kH264AacMp4, 2.0, "phone.mp4", {.rotation = 90, .width = 1920, .height = 1080});
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "wide.mp4", "phone.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 2.0, 368, 208);
  ExpectPspFile(dir_.file("out/M4V20002.MP4"), "mpeg4", 2.0, 320, 240);
  const std::vector<double> columns = ProbeMedia(dir_.file("out/M4V20002.MP4"), true).video.columnLuma;
  ASSERT_EQ(columns.size(), 320u);
  // 9:16 in a 240-line frame is 134 columns wide, from column 92.
  const auto brightest = [&](int from, int to) { return *std::max_element(&columns[from], &columns[to]); };
  const auto darkest = [&](int from, int to) { return *std::min_element(&columns[from], &columns[to]); };
  EXPECT_LT(brightest(0, 88), 24.0) << "black bar on the left";
  EXPECT_LT(brightest(232, 320), 24.0) << "black bar on the right";
  EXPECT_GT(darkest(100, 220), 30.0) << "the picture in the middle";
}

// The filters' library (with the 29 others it brings, about 12 MiB) is loaded
// only for pictures that need it: a plain clip converts without it, a turned
// one with it, and comes out turned. The loader lists what it loads
// (LD_DEBUG=files, on standard error).
TEST_F(Batchvc, OnlyPicturesThatNeedTheFiltersLoadTheirLibrary) {
  Clip(FixtureKind::kH264AacMp4, 1.0, "plain.mp4");
  Clip(FixtureKind::kH264AacMp4, 1.0, "turned.mp4", {.rotation = 90});
  setenv("LD_DEBUG", "files", 1);
  const BatchRun plain = Run({"--profile", "PSP MPEG-4 320x240", "--output", "plain out.mp4", "plain.mp4"});
  const BatchRun turned = Run({"--profile", "PSP MPEG-4 320x240", "--output", "turned out.mp4", "turned.mp4"});
  unsetenv("LD_DEBUG");
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(turned.status, 0) << turned.err;
  ASSERT_NE(plain.err.find("file=libavcodec.so"), std::string::npos) << "the loader listed nothing";
  EXPECT_EQ(plain.err.find("file=libavfilter.so"), std::string::npos);
  EXPECT_NE(turned.err.find("file=libavfilter.so"), std::string::npos);
  ExpectPspFile(dir_.file("plain out.mp4"), "mpeg4", 1.0);
  ExpectPspFile(dir_.file("turned out.mp4"), "mpeg4", 1.0);
  // Turned on its side, the picture stands between black bars.
  const std::vector<double> columns = ProbeMedia(dir_.file("turned out.mp4"), true).video.columnLuma;
  ASSERT_EQ(columns.size(), 320u);
  EXPECT_LT(*std::max_element(&columns[0], &columns[40]), 24.0) << "black bar on the left";
  EXPECT_GT(*std::min_element(&columns[120], &columns[200]), 30.0) << "the picture in the middle";
}

// A 1080p source shrinks to the handheld's size as an area filter would
// (halved by 2 x 2 blocks first, in bands): the output's luma against
// ffmpeg's own area scaling of the same source, picture by picture (the
// same rate, so the same pictures). 30.1 dB, the coding's own noise;
// pictures read one halved row off give 29.1, a band's last row left out
// 24.7.
TEST_F(Batchvc, AnHdSourceShrinksAsTheAreaFilterDoes) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "hd.mp4", {.fpsNum = 30000, .fpsDen = 1001, .width = 1920, .height = 1080});
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--bitrate", "3000", "--output-folder", "out", "hd.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 2.0, 368, 208);
  const std::string psnr = RunCommand(
      "ffmpeg -v info -i '" + dir_.file("out/M4V20001.MP4") + "' -i '" + dir_.file("hd.mp4") +
      "' -lavfi '[1:v]scale=368:208:flags=area[r];[0:v][r]psnr' -f null - 2>&1 | grep -o 'y:[0-9.inf]* ' | tail -1");
  ASSERT_GT(psnr.size(), 2u) << psnr;
  EXPECT_GT(std::stod(psnr.substr(2)), 29.5) << psnr;
}

// A 640x480 source is exactly twice the handheld's picture: it is halved
// straight into the picture, and its colour keeps the detail an area filter
// keeps. The clip's blue difference changes from one colour row to the
// next; against ffmpeg's area scaling at the same rate its PSNR is about
// 48 dB, and stretching the halved colour rows out again before packing
// gave 40.7.
TEST_F(Batchvc, AVgaSourceHalvesWithItsColourDetail) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "vga.mp4", {.fpsNum = 30000, .fpsDen = 1001, .width = 640, .height = 480});
  const std::string source = dir_.file("vga.mp4");
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--bitrate", "3000", "--output-folder", "out", "vga.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string psnr = RunCommand(
      "ffmpeg -v info -i '" + dir_.file("out/M4V20001.MP4") + "' -i '" + source +
      "' -lavfi '[1:v]scale=320:240:flags=area[r];[0:v][r]psnr' -f null - 2>&1 | grep -o 'u:[0-9.inf]* v:[0-9.inf]*'"
      " | tail -1 | tr -d 'uv:'");
  std::istringstream planes(psnr);
  double u = 0, v = 0;
  ASSERT_TRUE(planes >> u >> v) << psnr;
  EXPECT_GT(u, 44.0) << psnr;
  EXPECT_GT(v, 44.0) << psnr;
}

// A source at the NTSC rate converted at "29.97": every output picture is
// the source picture of the same number, the first one included.
TEST_F(Batchvc, SameRateKeepsEveryPictureInItsPlace) {
  Clip(FixtureKind::kH264AacMp4, 4.0, "ntsc.mp4", {.fpsNum = 30000, .fpsDen = 1001, .numbered = true});
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "ntsc.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  const MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.MP4"), true);
  ExpectPspOutput(p, 120 / kOutFps);
  ASSERT_EQ(p.video.frameCodes.size(), 120u);
  for (int n = 0; n < 120; ++n) ASSERT_EQ(p.video.frameCodes[static_cast<size_t>(n)], n) << "output picture " << n;
}

// With no profile ever chosen the converter writes for the PSP.
TEST_F(Batchvc, AFirstRunWritesThePspProfile) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "clip.mp4");
  const BatchRun r = Run({"--output-folder", "out", "clip.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Profile: PSP MPEG-4 320x240"), std::string::npos) << r.out;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 2.0);
}

// A Windows Media profile states its sound in its audio format text.
TEST_F(Batchvc, WindowsMediaTakesItsSoundFromItsAudioFormat) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "clip.mp4");
  const BatchRun r = Run({"--profile", "WMV", "--output-folder", "out", "clip.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  const MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.wmv"));
  ASSERT_TRUE(p.opened && p.hasAudio) << r.err;
  EXPECT_EQ(p.audio.sampleRate, 44100) << "\"128 kbps, 44 kHz, stereo 1-pass CBR\"";
  EXPECT_EQ(p.audio.channels, 2);
  EXPECT_GT(p.audio.decodedSamples, 44100);
}
// A damaged profile of the user's, a carriage return inside its codec
// name, converts as the same kind of profile before and after it is saved
// under a new name: what is read is what gets written.
TEST_F(Batchvc, ADamagedProfileConvertsAlikeBeforeAndAfterItIsSaved) {
  Clip(FixtureKind::kH264AacMp4, 2.0, "clip.mp4");
  const std::string text =
      "device  = \"PC\" \r\nfileext = \"wmv\" \r\nvcodec  = \"Windows\rMedia Video 9\" { \"Windows Media Video 9\" }\r\n"
      "s\t    = \"320x240\" { \"320x240\" }\r\nb\t    = 768 { \"768\" }\r\nr       = 29.97 { \"29.97\" }\r\n"
      "acodec  = \"Windows Media Audio 9.2\" \r\naformat = \"128 kbps, 44 kHz, stereo 1-pass CBR\" \r\n";
  fs::create_directories(dir_.file("home/.local/share/Corvane/profile"));
  WriteFileBytes(dir_.file("home/.local/share/Corvane/profile/Damaged.pr"), text);
  const BatchRun saved = Run({"--profile", "Damaged", "--save-profile", "Saved"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  int number = 0;  // the output numbers go on from one run to the next
  for (const char* profile : {"Damaged", "Saved"}) {
    SCOPED_TRACE(profile);
    const BatchRun r = Run({"--profile", profile, "--output-folder", "out", "clip.mp4"});
    ASSERT_EQ(r.status, 0) << r.err;
    const MediaProbe p = ProbeMedia(dir_.file("out/M4V2000" + std::to_string(++number) + ".wmv"));
    ASSERT_TRUE(p.opened && p.hasAudio) << r.out << r.err;
    EXPECT_EQ(p.audio.sampleRate, 44100);
    EXPECT_GT(p.audio.decodedSamples, 44100);
  }
}

// Ten conversions started at once into one folder take ten numbers: no
// output is written over, each is whole.
TEST_F(Batchvc, ParallelRunsTakeDistinctNumbers) {
  Clip(FixtureKind::kH264AacMp4, 1.0, "clip.mp4");
  const int devNull = open("/dev/null", O_WRONLY);
  std::vector<pid_t> runs;
  for (int i = 0; i < 10; ++i)
    runs.push_back(Spawn({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "clip.mp4"}, devNull));
  close(devNull);
  for (const pid_t pid : runs) EXPECT_EQ(Wait(pid), 0);
  for (int n = 20001; n <= 20010; ++n) ExpectPspFile(dir_.file("out/M4V" + std::to_string(n) + ".MP4"), "mpeg4", 1.0);
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 20011);
}

// The number that would name a file already there (here the batch's own
// second source) is passed over: no source is written over before it is read.
TEST_F(Batchvc, AnOutputNeverTakesTheNameOfAnExistingFile) {
  Clip(FixtureKind::kH264AacMp4, 1.0, "first.mp4");
  fs::create_directories(dir_.file("stick"));
  Clip(FixtureKind::kH264AacMp4, 2.0, "stick/M4V20001.MP4");
  const std::string second = ReadFileBytes(dir_.file("stick/M4V20001.MP4"));
  const BatchRun r =
      Run({"--yes", "--profile", "PSP MPEG-4 320x240", "--output-folder", "stick", "first.mp4", "stick/M4V20001.MP4"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Converted 2 of 2"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(dir_.file("stick/M4V20001.MP4")), second);
  ExpectPspFile(dir_.file("stick/M4V20002.MP4"), "mpeg4", 1.0);
  ExpectPspFile(dir_.file("stick/M4V20003.MP4"), "mpeg4", 2.0);
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 20004);
}

// Settings that cannot be written: said once, and the numbers go on in
// memory; the next run passes over what the last one wrote.
TEST_F(Batchvc, NumbersGoOnWhenTheSettingsCannotBeSaved) {
  Clip(FixtureKind::kH264AacMp4, 1.0, "a.mp4");
  Clip(FixtureKind::kH264AacMp4, 1.0, "b.mp4");
  WriteSettingInt("OutputConfig", "file_number", 20001);
  const std::string settings = dir_.file("home/.config/Corvane/registry.reg");
  ASSERT_EQ(chmod(settings.c_str(), 0444), 0);
  BatchRun r = Run({"--yes", "--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "a.mp4", "b.mp4"});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto said = [](const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("cannot be saved"); at != std::string::npos; at = text.find("cannot be saved", at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(said(r.err), 1u) << r.err;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 1.0);
  ExpectPspFile(dir_.file("out/M4V20002.MP4"), "mpeg4", 1.0);
  const std::string kept = ReadFileBytes(dir_.file("out/M4V20001.MP4"));
  r = Run({"--yes", "--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "b.mp4"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(dir_.file("out/M4V20001.MP4")), kept) << "not written over";
  ExpectPspFile(dir_.file("out/M4V20003.MP4"), "mpeg4", 1.0);
  chmod(settings.c_str(), 0644);
}

// The device counts in five digits: after 99999 comes 00001.
TEST_F(Batchvc, NumbersWrapAfterFiveDigits) {
  Clip(FixtureKind::kH264AacMp4, 1.0, "clip.mp4");
  fs::create_directories(dir_.file("out"));
  WriteFileBytes(dir_.file("out/M4V99999.MP4"), "older");
  WriteFileBytes(dir_.file("out/M4V00001.MP4"), "older");
  WriteSettingInt("OutputConfig", "file_number", 99999);
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "clip.mp4"});
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("out/M4V00002.MP4"), "mpeg4", 1.0);
  EXPECT_EQ(ReadFileBytes(dir_.file("out/M4V99999.MP4")), "older");
  EXPECT_EQ(ReadSettingInt("OutputConfig\\file_number", 0), 3);
}
// A download that had not finished: the file ends while it is read. What
// was converted is kept, and the file counts as failed.
TEST_F(Batchvc, ASourceThatEndsEarlyIsNotCalledConverted) {
  const std::string src = Clip(FixtureKind::kH264AacMp4, 60.0, "download.mp4");
  const auto size = fs::file_size(src);
  const BatchRun r = AtFirstProgress({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "download.mp4"},
                                     [&](pid_t) { fs::resize_file(src, size / 3); });
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find(" of 0:01:00: the source ended early"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Converted download.mp4"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Converted 0 of 1"), std::string::npos) << r.out;
  const MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.MP4"));
  ASSERT_TRUE(p.opened && p.hasVideo && p.hasAudio);
  EXPECT_LT(p.video.durationSec, 50.0);
  EXPECT_EQ(p.video.decodeErrors, 0);
}
// A file name that is not UTF-8 (written under another encoding) opens by
// its bytes; its title reads as Latin-1.
TEST_F(Batchvc, ANameInAnotherEncodingOpensByItsBytes) {
  const std::string name = "caf\xe9.mp4";
  Clip(FixtureKind::kH264AacMp4, 1.0, name);
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", name});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("out/M4V20001.MP4"), "mpeg4", 1.0);
  std::string title;
  ASSERT_TRUE(ReadUsmtTitle(dir_.file("out/M4V20001.MP4"), &title));
  EXPECT_EQ(title, "caf\xe9") << "ASCII and Latin-1 characters of the title";
}

// -o with a folder means that folder, and a run without a folder writes
// where the last one did.
TEST_F(Batchvc, OutputsGoWhereTheLastOnesWent) {
  Clip(FixtureKind::kH264AacMp4, 1.0, "clip.mp4");
  fs::create_directories(dir_.file("psp"));
  BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "-o", "psp", "clip.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("psp/M4V20001.MP4"), "mpeg4", 1.0);
  EXPECT_FALSE(fs::exists(dir_.file("psp.mp4")));
  r = Run({"--profile", "PSP MPEG-4 320x240", "clip.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPspFile(dir_.file("psp/M4V20002.MP4"), "mpeg4", 1.0);
}

// Two passes report the first pass, then the second, never back again.
TEST_F(Batchvc, PassesAreReportedInOrder) {
  Clip(FixtureKind::kH264AacMp4, 6.0, "clip.mp4");
  const BatchRun r = Run({"--passes", "2", "--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "clip.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  const size_t firstOfSecond = r.err.find("[Pass 2 of 2]");
  ASSERT_NE(firstOfSecond, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("[Pass 1 of 2]", firstOfSecond), std::string::npos) << r.err;
  EXPECT_LT(r.err.find("[Pass 1 of 2]"), firstOfSecond) << r.err;
}
// A logout (the terminal hung up) finishes the output as Ctrl-C does.
TEST_F(Batchvc, AHangUpFinishesTheOutputPlayable) {
  Clip(FixtureKind::kH264AacMp4, 60.0, "long.mp4");
  const BatchRun r = AtFirstProgress({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "long.mp4"},
                                     [](pid_t pid) { kill(pid, SIGHUP); });
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("playable up to"), std::string::npos) << r.err;
  const MediaProbe p = ProbeMedia(dir_.file("out/M4V20001.MP4"));
  ASSERT_TRUE(p.opened && p.hasVideo && p.hasAudio);
  EXPECT_EQ(p.video.decodeErrors, 0);
  EXPECT_GE(p.video.durationSec, 1.0);
}
// Hidden temporary files the outputs are written under (".NAME.corvane-PID.tmp").
std::vector<std::string> TemporaryFiles(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().filename().string().find(".corvane-") != std::string::npos) found.push_back(e.path().string());
  return found;
}

// A conversion killed outright leaves nothing under the output's name, so
// the next run has nothing to ask about, and it clears the leftover.
TEST_F(Batchvc, AKilledRunLeavesNoHalfWrittenOutput) {
  Clip(FixtureKind::kH264AacMp4, 60.0, "long.mp4");
  Clip(FixtureKind::kH264AacMp4, 1.0, "short.mp4");
  const BatchRun killed = AtFirstProgress({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "long.mp4"},
                                          [](pid_t pid) { kill(pid, SIGKILL); });
  EXPECT_EQ(killed.status, -1);
  EXPECT_FALSE(fs::exists(dir_.file("out/M4V20001.MP4")));
  EXPECT_EQ(TemporaryFiles(dir_.file("out")).size(), 1u) << "the killed run's hidden file";
  const BatchRun next = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "out", "short.mp4"});
  EXPECT_EQ(next.status, 0) << next.err;
  ExpectPspFile(dir_.file("out/M4V20002.MP4"), "mpeg4", 1.0);
  EXPECT_TRUE(TemporaryFiles(dir_.file("out")).empty());
}

// A disk that fills during the second part: the part that cannot be
// finished goes, the finished one stays and is the only one named. The
// disk is a small tmpfs in a mount namespace of the run's own.
TEST_F(Batchvc, ADiskThatFillsKeepsOnlyTheFinishedParts) {
  Clip(FixtureKind::kH264AacMp4, 30.0, "long.mp4");
  WriteSettingInt("OutputConfig", "Volume", 1);
  fs::create_directories(dir_.file("stick"));
  fs::create_directories(dir_.file("seen"));
  const std::string script =
      "mount -t tmpfs -o size=1600k tmpfs stick || exit 77; \"$0\" \"$@\"; s=$?; cp -a stick/. seen/; exit $s";
  const BatchRun r = Run({"--profile", "PSP MPEG-4 320x240", "--output-folder", "stick", "long.mp4"},
                         {"unshare", "--mount", "--map-root-user", "sh", "-c", script});
  if (r.status == 77 || r.err.find("unshare") != std::string::npos) GTEST_SKIP() << "no mount namespace here: " << r.err;
  EXPECT_EQ(r.status, 1) << r.err;
  const MediaProbe first = ProbeMedia(dir_.file("seen/M4V20001.MP4"));
  ASSERT_TRUE(first.opened && first.hasVideo && first.hasAudio) << r.err;
  EXPECT_EQ(first.video.decodeErrors, 0);
  EXPECT_GT(first.video.durationSec, 5.0);
  EXPECT_FALSE(fs::exists(dir_.file("seen/M4V20001 - 02.MP4"))) << r.err;
  EXPECT_TRUE(TemporaryFiles(dir_.file("seen")).empty());
  EXPECT_NE(r.err.find("stick/M4V20001.MP4 is playable up to"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("M4V20001.MP4, "), std::string::npos) << "no other part named playable: " << r.err;
}
}  // namespace
