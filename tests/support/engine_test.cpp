#include "tests/support/engine_test.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/control/profile_choice.h"
#include "core/frame_state.h"
#include "settings/settings.h"

// FFmpeg's frame-threaded decoders and encoders hand data between their own
// threads with synchronisation ThreadSanitizer cannot see in the
// uninstrumented libraries; SDL keeps an allocation for the process.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libavcodec.so*\nrace:libavutil.so*\nrace:libswresample.so*\nrace:libavfilter.so*\nrace:libSDL2*\n"
         "race:libx264.so*\nrace:libx265.so*\n";
}
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2\nleak:libx265\n"; }

void EngineTest::SetUp() {
  setenv("HOME", dir_.file("home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir_.file("home/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", dir_.file("home/.local/share").c_str(), 1);
  std::filesystem::create_directories(dir_.file("out"));
  FrameState& f = Frame();
  f.ProgramFolder = std::filesystem::current_path().string();  // tests run beside the programs
  f.PassCount = f.CurrentPass = 1;
  f.OutputFormat = 2;
  f.ProcessorCount = 2;
  f.CropRect = CropFractions();
  AppSettings() = Settings();
  AppSettings().adjustSpeed = 0;
  if (const char* dbg = std::getenv("CORVANE_TEST_DBG")) AppSettings().dbg = std::atoi(dbg);
  f.SetOutputPath(dir_.file("out/M4V20001.MP4"));
  LoadProfileList(profiles_, "");
  UseProfile("PSP MPEG-4 320x240");
}

void EngineTest::TearDown() { Frame().CurrentProfile = nullptr; }

void EngineTest::UseProfile(const std::string& name) {
  const int i = FindProfile(profiles_, name);
  ASSERT_GE(i, 0) << name;
  SelectProfile(profiles_, i);
}

std::string EngineTest::Clip(FixtureKind kind, double seconds, FixtureOptions options, const std::string& name) {
  std::string path = dir_.file(name + FixtureExtension(kind));
  EXPECT_EQ(MakeFixture(kind, path, seconds, options), "");
  return path;
}

std::string EngineTest::OpenFromStart(const std::string& path, const std::string& output) {
  EXPECT_TRUE(host_.OpenSource(path)) << path;
  host_.MovePositionLow(0);
  Frame().SetOutputPath(output);
  return output;
}

int ProcessThreadCount() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("Threads:", 0) == 0) return std::atoi(line.c_str() + 8);
  return -1;
}

int EngineTest::ThreadsAfterHelpersEnd(int atMost) {
  int count = ProcessThreadCount();
  for (int i = 0; i < 100 && count > atMost; ++i) {
    host_.Pump(100);
    count = ProcessThreadCount();
  }
  return count;
}
