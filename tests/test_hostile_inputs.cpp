// The bad-input corpus through the engine in one process: every file either
// converts (when a player plays it) or is refused, nothing hangs, no thread
// is left behind, and the engine converts the next file afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/control/headless_host.h"
#include "app/control/profile_choice.h"
#include "core/frame_state.h"
#include "engine/graph_builder.h"
#include "profiles/profile.h"
#include "settings/settings.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/media_probe.h"
#include "tests/support/engine_test.h"
#include "tests/support/test_support.h"

namespace {
struct CorpusFile {
  std::string name;
  bool plays = false;
  bool onePicture = false;  // converts to a single frame
  std::string what;
};

std::vector<CorpusFile> ReadManifest(const std::string& path) {
  std::vector<CorpusFile> files;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    CorpusFile f;
    std::string expect;
    fields >> f.name >> expect;
    std::getline(fields, f.what);
    f.onePicture = expect == "short";
    f.plays = expect == "ok" || f.onePicture;
    if (!f.name.empty()) files.push_back(f);
  }
  return files;
}


// The names of the process's threads, for a message.
std::string ThreadNames() {
  std::string names;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    names += (names.empty() ? "" : ", ") + name;
  }
  return names;
}


// A file that takes this long has hung the engine: the test ends at once.
const char* g_current = "";
void Watchdog(int) {
  const char msg[] = "hung on a corpus file: ";
  (void)!write(2, msg, sizeof(msg) - 1);
  (void)!write(2, g_current, std::strlen(g_current));
  _exit(3);
}

class HostileInputs : public EngineTest {};

TEST_F(HostileInputs, EveryCorpusFileConvertsOrIsRefusedAndTheEngineGoesOn) {
  int status = 0;
  RunCommand("bash '" CORVANE_SOURCE_DIR "/tests/corpus/make_corpus.sh' '" + dir_.file("corpus") + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << "the corpus could not be made";
  const std::vector<CorpusFile> corpus = ReadManifest(dir_.file("corpus/MANIFEST"));
  ASSERT_GE(corpus.size(), 20u);
  HeadlessHost& host = host_;
  host.Pump(100);
  int baseline = ProcessThreadCount();
  std::signal(SIGALRM, Watchdog);

  for (const CorpusFile& file : corpus) {
    SCOPED_TRACE(file.name + ":" + file.what);
    g_current = file.name.c_str();
    alarm(240);
    const std::string out = dir_.file("out/" + file.name + ".MP4");
    const bool opened = host.OpenSource(dir_.file("corpus/" + file.name));
    Frame().SetOutputPath(out);
    bool converted = false;
    if (opened) {
      host.MovePositionLow(0);
      converted = host.Convert({}, 30).finished;
    }
    alarm(0);
    if (file.plays) {
      EXPECT_TRUE(opened && converted);
      const MediaProbe p = ProbeMedia(out);
      EXPECT_TRUE(p.hasVideo && p.hasAudio);
      if (file.onePicture) EXPECT_EQ(p.video.decodedFrames, 1);
      else EXPECT_GT(p.video.durationSec, 0.1);
      EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, 0.1);
      EXPECT_EQ(p.video.decodeErrors, 0);
    } else {
      EXPECT_FALSE(converted);
      EXPECT_FALSE(std::filesystem::exists(out)) << "a refused file leaves no output";
    }
    // With the source closed every thread of its graph has ended (helper
    // threads that outlived their waits end meanwhile).
    CloseDVDVolume();
    host.Pump(300);
    // A sanitizer starts a thread of its own with the first thread it sees.
    if (&file == &corpus.front()) baseline = std::max(baseline, std::min(ThreadsAfterHelpersEnd(baseline), baseline + 1));
    EXPECT_LE(ThreadsAfterHelpersEnd(baseline), baseline) << "threads left behind: " << ThreadNames();
  }
}
}  // namespace
