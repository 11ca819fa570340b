// Outputs written under a temporary name: the final name appears only when
// the file is finished, and files left by a killed writer are cleaned up by
// the next writer, never those of a writer still at work.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "encode/temp_output.h"
#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;

void Append(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

TEST(TempOutput, TheFinalNameAppearsOnlyWhenTheFileIsFinished) {
  TempDir dir;
  const std::string final = dir.file("M4V20001.MP4");
  TempOutput out;
  ASSERT_TRUE(out.Open(final));
  EXPECT_TRUE(IsTempOutputName(out.TempPath())) << out.TempPath();
  EXPECT_EQ(fs::path(out.TempPath()).parent_path(), fs::path(final).parent_path()) << "same folder, same disk";
  Append(out.TempPath(), "video");
  EXPECT_FALSE(fs::exists(final));
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(ReadFileBytes(final), "video");
  EXPECT_FALSE(fs::exists(out.TempPath()));
  EXPECT_FALSE(out.IsOpen());
}

TEST(TempOutput, AnUnfinishedFileLeavesNothing) {
  TempDir dir;
  std::string temp;
  {
    TempOutput out;
    ASSERT_TRUE(out.Open(dir.file("M4V20001.MP4")));
    temp = out.TempPath();
    Append(temp, "half a video");
  }
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_FALSE(fs::exists(dir.file("M4V20001.MP4")));
  // A folder that went away while the file was written: nothing finished.
  fs::create_directories(dir.file("gone"));
  TempOutput out;
  ASSERT_TRUE(out.Open(dir.file("gone/M4V20002.MP4")));
  fs::remove_all(dir.file("gone"));
  EXPECT_FALSE(out.Commit());
}

TEST(TempOutput, OnlyFilesOfKilledWritersAreRemoved) {
  TempDir dir;
  const pid_t child = fork();
  if (child == 0) {
    TempOutput out;
    if (out.Open(dir.file("M4V20001.MP4"))) Append(out.TempPath(), "half a video");
    raise(SIGKILL);  // no destructor runs
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  TempOutput live;
  ASSERT_TRUE(live.Open(dir.file("M4V20002.MP4")));
  WriteFileBytes(dir.file("notes.tmp"), "not ours");
  int left = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) left += IsTempOutputName(e.path().string()) ? 1 : 0;
  ASSERT_EQ(left, 2) << "the killed writer's file and the live one";
  EXPECT_EQ(RemoveAbandonedTempOutputs(dir.path()), 1);
  EXPECT_TRUE(fs::exists(live.TempPath())) << "a writer at work keeps its file";
  EXPECT_TRUE(fs::exists(dir.file("notes.tmp")));
  EXPECT_TRUE(live.Commit());
}
// Something at the output's name that is not a plain file (a device) is
// written where it is and never replaced by a file.
TEST(TempOutput, ADeviceIsWrittenWhereItIs) {
  TempOutput out;
  ASSERT_TRUE(out.Open("/dev/null"));
  EXPECT_EQ(out.TempPath(), "/dev/null");
  EXPECT_TRUE(out.Commit());
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}
}  // namespace
