#include "transfer/file_operation.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "core/diag_log.h"
#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;

// Files left in a folder, hidden temporary copies included.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FileOps : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogFilePath(dir_.file("test.elog"));
    fs::create_directories(src_);
    fs::create_directories(dst_);
  }
  void TearDown() override { SetLogFilePath(""); }

  std::string Src(const std::string& name, const std::string& bytes) {
    WriteFileBytes(src_ + "/" + name, bytes);
    return src_ + "/" + name;
  }

  TempDir dir_;
  std::string src_ = dir_.file("src");
  std::string dst_ = dir_.file("dst");
};

TEST_F(FileOps, CopiesFilesAndFoldersWithProgressAndTimes) {
  const std::string big(3 * 1024 * 1024 + 17, 'v');
  const std::string video = Src("M4V20001.MP4", big);
  fs::create_directories(src_ + "/Old/Deeper");
  Src("Old/Deeper/a.txt", "deep");
  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, video.c_str(), old, 0);

  std::vector<FileOpProgress> seen;
  const FileOpResult r = CopyItems({video, src_ + "/Old"}, dst_, [&](const FileOpProgress& p) {
    seen.push_back(p);
    return true;
  });
  ASSERT_TRUE(r.Ok()) << r.error;
  EXPECT_EQ(r.itemsDone, 2u);
  EXPECT_EQ(ReadFileBytes(dst_ + "/M4V20001.MP4"), big);
  EXPECT_EQ(ReadFileBytes(dst_ + "/Old/Deeper/a.txt"), "deep");
  EXPECT_EQ(Names(dst_), (std::vector<std::string>{"M4V20001.MP4", "Old"}));
  struct stat st;
  ASSERT_EQ(stat((dst_ + "/M4V20001.MP4").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);

  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().bytesTotal, big.size() + 4);
  EXPECT_EQ(seen.back().bytesDone, big.size() + 4);
  EXPECT_EQ(seen.back().itemIndex, 1u);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i].bytesDone, seen[i - 1].bytesDone);
}

TEST_F(FileOps, ReplacesAnExistingFileOnlyWhenAllowed) {
  const std::string video = Src("M4V20001.MP4", "new");
  WriteFileBytes(dst_ + "/M4V20001.MP4", "old");
  std::vector<std::string> asked;
  FileOpResult r = CopyItems({video}, dst_, {}, [&](const std::string& d) {
    asked.push_back(d);
    return false;
  });
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(asked, std::vector<std::string>{dst_ + "/M4V20001.MP4"});
  EXPECT_EQ(ReadFileBytes(dst_ + "/M4V20001.MP4"), "old");
  // Without anyone to ask, the file stays as well.
  EXPECT_TRUE(CopyItems({video}, dst_).Ok());
  EXPECT_EQ(ReadFileBytes(dst_ + "/M4V20001.MP4"), "old");

  r = CopyItems({video}, dst_, {}, [](const std::string&) { return true; });
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(ReadFileBytes(dst_ + "/M4V20001.MP4"), "new");
}

TEST_F(FileOps, MissingSourceStopsTheCopyAndSaysWhich) {
  const std::string a = Src("A.MP4", "a");
  const std::string c = Src("C.MP4", "c");
  const FileOpResult r = CopyItems({a, src_ + "/B.MP4", c}, dst_);
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.itemsDone, 1u);
  EXPECT_NE(r.error.find(src_ + "/B.MP4"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("No such file"), std::string::npos) << r.error;
  EXPECT_EQ(Names(dst_), std::vector<std::string>{"A.MP4"});
}

TEST_F(FileOps, MissingDestinationAndCopiesOntoThemselvesAreRefused) {
  const std::string a = Src("A.MP4", "a");
  FileOpResult r = CopyItems({a}, dir_.file("nowhere"));
  EXPECT_NE(r.error.find("nowhere"), std::string::npos) << r.error;
  r = CopyItems({a}, src_);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(ReadFileBytes(a), "a");
  fs::create_directories(src_ + "/Sub");
  r = CopyItems({src_}, src_ + "/Sub");
  EXPECT_NE(r.error.find("into itself"), std::string::npos) << r.error;
  EXPECT_EQ(Names(src_ + "/Sub"), std::vector<std::string>{});
}

// A write that fails half-way (the file size limit stands in for a full
// stick) leaves the file already there untouched and no partial file.
TEST_F(FileOps, FailedWriteLeavesNoPartialFileAndKeepsTheOldOne) {
  const std::string video = Src("M4V20001.MP4", std::string(3 * 1024 * 1024, 'n'));
  WriteFileBytes(dst_ + "/M4V20001.MP4", "old copy");
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = saved;
  limit.rlim_cur = 1024 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const FileOpResult r = CopyItems({video}, dst_, {}, [](const std::string&) { return true; });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.itemsDone, 0u);
  EXPECT_NE(r.error.find("Cannot write"), std::string::npos) << r.error;
  EXPECT_EQ(ReadFileBytes(dst_ + "/M4V20001.MP4"), "old copy");
  EXPECT_EQ(Names(dst_), std::vector<std::string>{"M4V20001.MP4"});
}

TEST_F(FileOps, CancelRemovesTheFileBeingCopied) {
  const std::string first = Src("A.MP4", "a");
  const std::string video = Src("B.MP4", std::string(3 * 1024 * 1024, 'v'));
  int calls = 0;
  const FileOpResult r = CopyItems({first, video}, dst_, [&](const FileOpProgress& p) {
    return !(p.itemIndex == 1 && p.bytesDone > 1 && ++calls == 1);
  });
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(r.itemsDone, 1u);
  EXPECT_EQ(Names(dst_), std::vector<std::string>{"A.MP4"});
}

TEST_F(FileOps, DeletesFilesAndFoldersAndStopsAtAMissingOne) {
  const std::string a = Src("A.MP4", "a");
  const std::string thm = Src("A.THM", "t");
  fs::create_directories(src_ + "/Folder/Inner");
  Src("Folder/Inner/x", "x");
  FileOpResult r = DeleteItems({a, thm, src_ + "/Folder"});
  EXPECT_TRUE(r.Ok()) << r.error;
  EXPECT_EQ(Names(src_), std::vector<std::string>{});

  const std::string b = Src("B.MP4", "b");
  r = DeleteItems({src_ + "/gone.MP4", b});
  EXPECT_NE(r.error.find("gone.MP4"), std::string::npos) << r.error;
  EXPECT_EQ(r.itemsDone, 0u);
  EXPECT_TRUE(fs::exists(b));

  r = DeleteItems({b}, [](const FileOpProgress&) { return false; });
  EXPECT_TRUE(r.cancelled);
  EXPECT_TRUE(fs::exists(b));
}
}  // namespace
