// Load on the engine: many conversions in one process, and a long one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/control/headless_host.h"
#include "app/control/profile_choice.h"
#include "core/frame_state.h"
#include "profiles/profile.h"
#include "settings/settings.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/media_probe.h"
#include "tests/support/engine_test.h"
#include "tests/support/test_support.h"

namespace {
constexpr double kOutFps = 30000.0 / 1001;

// A field of /proc/self/status in its own unit (kB for sizes).
long ProcStatus(const std::string& field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  return -1;
}

// The most threads the first three conversions left running.
long FirstThreads(const std::vector<long>& threads) { return *std::max_element(threads.begin(), threads.begin() + 3); }

class EngineLoad : public EngineTest {
 protected:
  std::string Convert(const std::string& src, const std::string& name) {
    const std::string out = OpenFromStart(src, dir_.file("out/" + name));
    EXPECT_TRUE(host_.Convert({}, 120).finished);
    return out;
  }
};

TEST_F(EngineLoad, TenConversionsInARowKeepMemoryAndThreadsFlat) {
  const std::string src = dir_.file("clip.mp4");
  ASSERT_EQ(MakeFixture(FixtureKind::kH264AacMp4, src, 2.0), "");
  std::vector<long> rss, threads;
  for (int i = 0; i < 10; ++i) {
    const std::string out = Convert(src, "run" + std::to_string(i) + ".MP4");
    host_.Pump(300);  // helper threads that outlived their wait end meanwhile
    rss.push_back(ProcStatus("VmRSS"));
    // The audio device's thread may outlive a conversion once in a while;
    // a thread left behind by every conversion would grow the count by seven.
    threads.push_back(i <= 2 ? ProcStatus("Threads") : ThreadsAfterHelpersEnd(FirstThreads(threads)));
    const MediaProbe p = ProbeMedia(out);
    ASSERT_TRUE(p.hasVideo && p.hasAudio) << i;
    EXPECT_NEAR(p.video.durationSec, 2.0, 1 / kOutFps + 1e-6) << i;
  }
  std::string figures;
  for (size_t i = 0; i < rss.size(); ++i)
    figures += " " + std::to_string(rss[i] / 1024) + "MiB/" + std::to_string(threads[i]) + "t";
  RecordProperty("rss_threads", figures);
  // The first conversions warm the allocator's arenas and the caches;
  // over the second half nothing grows. (AddressSanitizer holds freed
  // memory back for a while: its resident size says nothing of leaks, which
  // LeakSanitizer checks instead.)
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LE(rss[9] - rss[5], 12 * 1024) << figures;
#endif
  EXPECT_LE(threads.back(), FirstThreads(threads)) << figures;
}

// An hour of source: the flashes at its end still come with their beeps.
TEST_F(EngineLoad, AnHourLongConversionStaysInSyncToTheEnd) {
  if (!std::getenv("CORVANE_LONG_TESTS")) GTEST_SKIP() << "an hour of source: run as engine_hour_in_sync";
  const std::string src = dir_.file("hour.mp4");
  ASSERT_EQ(MakeFixture(FixtureKind::kH264AacMp4, src, 3600.0, {.flash = true}), "");
  const std::string out = Convert(src, "hour.MP4");
  const MediaProbe p = ProbeMedia(out);
  ASSERT_TRUE(p.hasVideo && p.hasAudio);
  EXPECT_NEAR(p.video.durationSec, 3600.0, 1 / kOutFps + 1e-6);
  EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, 1 / kOutFps + 1e-6);
  // The last ten seconds, pictures and sound decoded by the command line.
  int status = 0;
  const std::string luma = RunCommand("ffmpeg -v error -ss 3590 -i '" + out +
                                          "' -an -vf scale=8:8,format=gray -f rawvideo -", &status);
  ASSERT_EQ(status, 0);
  const std::string pcm = RunCommand("ffmpeg -v error -ss 3590 -i '" + out + "' -vn -f s16le -ac 1 -ar 48000 -", &status);
  ASSERT_EQ(status, 0);
  std::vector<double> flashes, beeps;
  for (size_t i = 0; i + 64 <= luma.size(); i += 64) {
    double sum = 0;
    for (size_t k = 0; k < 64; ++k) sum += static_cast<unsigned char>(luma[i + k]);
    const bool white = sum / 64 > 200;
    const bool wasWhite = i >= 64 && [&] {
      double s = 0;
      for (size_t k = 0; k < 64; ++k) s += static_cast<unsigned char>(luma[i - 64 + k]);
      return s / 64 > 200;
    }();
    if (white && !wasWhite) flashes.push_back(static_cast<double>(i / 64) / kOutFps);
  }
  const auto* s16 = reinterpret_cast<const std::int16_t*>(pcm.data());
  bool loud = false;
  for (size_t w = 0; (w + 1) * 480 <= pcm.size() / 2; ++w) {
    double acc = 0;
    for (size_t i = w * 480; i < (w + 1) * 480; ++i) acc += double(s16[i]) * s16[i];
    const bool now = std::sqrt(acc / 480) / 32768 > 0.1;
    if (now && !loud) beeps.push_back(w / 100.0);
    loud = now;
  }
  // Each flash against the beep nearest to it (the cut at 3590 s may take
  // the first of either).
  ASSERT_GE(flashes.size(), 8u);
  ASSERT_GE(beeps.size(), 8u);
  for (size_t k = 0; k < flashes.size(); ++k) {
    double nearest = 1e9;
    for (double b : beeps) nearest = std::min(nearest, std::fabs(flashes[k] - b));
    EXPECT_LE(nearest, 1 / kOutFps + 0.011) << "flash at " << flashes[k] << " s of the last ten seconds";
  }
}
}  // namespace
