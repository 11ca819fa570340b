#include "transfer/psp_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;

constexpr std::uint64_t kMB = 1024 * 1024;

// Volume folders with chosen sizes, standing in for drives.
class Drives : public ::testing::Test {
 protected:
  std::string Drive(const std::string& name, std::uint64_t sizeMB, bool removable = true) {
    const std::string root = dir_.file(name);
    fs::create_directories(root);
    volumes_.push_back({root, removable});
    sizes_[root] = sizeMB * kMB;
    return root;
  }
  int Detect() {
    return DetectPspVolume(volumes_, [this](const std::string& root) { return sizes_[root]; });
  }

  TempDir dir_;
  std::vector<Volume> volumes_;
  std::map<std::string, std::uint64_t> sizes_;
};

TEST_F(Drives, MemstickMarkerBeatsAnEarlierPspFolder) {
  fs::create_directories(Drive("d", 1024) + "/PSP");
  WriteFileBytes(Drive("e", 1024) + "/MEMSTICK.IND", "");
  EXPECT_EQ(Detect(), 1);
}

TEST_F(Drives, PspFolderCountsOnlyOnRemovableVolumesBelow9000MB) {
  fs::create_directories(Drive("fixed", 1024, false) + "/PSP");
  fs::create_directories(Drive("big", 9000) + "/PSP");
  fs::create_directories(Drive("unknown", 0) + "/PSP");
  EXPECT_EQ(Detect(), -1);
  fs::create_directories(Drive("stick", 8192) + "/psp");  // FAT names match in any case
  EXPECT_EQ(Detect(), 3);
}

TEST_F(Drives, MemstickMarkerFindsLargeRemovableVolumesButNotFixedOnes) {
  WriteFileBytes(Drive("fixed", 1024, false) + "/MEMSTICK.IND", "");
  EXPECT_EQ(Detect(), -1);
  WriteFileBytes(Drive("big", 32000) + "/memstick.ind", "");
  EXPECT_EQ(Detect(), 1);
}

TEST(DeviceFolders, KindsNamePrefixesAndExistingCase) {
  TempDir dir;
  EXPECT_EQ(DeviceFolderPath(dir.path(), kMpeg4Video), dir.file("MP_ROOT/100MNV01"));
  EXPECT_EQ(DeviceFolderPath(dir.path(), kH264Video), dir.file("MP_ROOT/100ANV01"));
  EXPECT_STREQ(DeviceNamePrefix(kMpeg4Video), "M4V");
  EXPECT_STREQ(DeviceNamePrefix(kH264Video), "MAQ");
  EXPECT_EQ(VideoKindFromFormatMp4(0), kMpeg4Video);
  EXPECT_EQ(VideoKindFromFormatMp4(1), kH264Video);

  fs::create_directories(dir.file("mp_root/100mnv01"));
  EXPECT_EQ(DeviceFolderPath(dir.path(), kMpeg4Video), dir.file("mp_root/100mnv01"));
  std::string error;
  EXPECT_EQ(CreateDeviceFolder(dir.path(), kH264Video, &error), dir.file("mp_root/100ANV01"));
  EXPECT_TRUE(fs::is_directory(dir.file("mp_root/100ANV01")));
  EXPECT_FALSE(fs::exists(dir.file("MP_ROOT")));
}

TEST(DeviceFolders, CreationFailureIsExplained) {
  TempDir dir;
  WriteFileBytes(dir.file("MP_ROOT"), "a file in the way");
  std::string error;
  EXPECT_EQ(CreateDeviceFolder(dir.path(), kMpeg4Video, &error), "");
  EXPECT_NE(error.find("MP_ROOT"), std::string::npos) << error;
}

TEST(ListFilter, PrefixOfTheKindAndMp4OrVisibleThumbnails) {
  struct Case {
    const char* path;
    bool isFolder, listShowsFolders;
    VideoKind kind;
    bool hide, shown;
  };
  const Case cases[] = {
      {"/s/m4v00001.Mp4", false, false, kMpeg4Video, true, true},
      {"/s/M4V20001.MP4", false, false, kH264Video, true, false},
      {"/s/MAQ20001.MP4", false, false, kH264Video, true, true},
      {"/s/MAQ20001.MP4", false, false, kMpeg4Video, true, false},
      {"/s/M4V20001.THM", false, false, kMpeg4Video, true, false},
      {"/s/M4V20001.thm", false, false, kMpeg4Video, false, true},
      {"/s/MAQ20001.THM", false, false, kMpeg4Video, false, false},
      {"/s/M4V20001.avi", false, true, kMpeg4Video, false, false},
      {"/s/M4V20001", false, true, kMpeg4Video, false, false},
      {"/s/video.mp4", false, true, kMpeg4Video, false, false},
      {"/s/Folder", true, true, kMpeg4Video, true, true},
      {"/s/M4V.folder", true, false, kMpeg4Video, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShowInTransferList(c.path, c.isFolder, c.listShowsFolders, c.kind, c.hide), c.shown) << c.path;
}

TEST(TransferPaths, ThumbnailsFollowTheirVideosWhenAsked) {
  TempDir dir;
  for (const char* name : {"M4V20001.MP4", "M4V20001.THM", "M4V20002.MP4", "M4V20002.thm", "M4V20003.MP4"})
    WriteFileBytes(dir.file(name), name);
  EXPECT_EQ(ThumbnailPath("/p/M4V20001.MP4"), "/p/M4V20001.THM");

  const std::vector<std::string> selected = {dir.file("M4V20001.MP4"), dir.file("M4V20002.MP4"),
                                             dir.file("M4V20003.MP4")};
  EXPECT_EQ(TransferPaths(selected, false), selected);
  const std::vector<std::string> expected = {dir.file("M4V20001.MP4"), dir.file("M4V20001.THM"),
                                             dir.file("M4V20002.MP4"), dir.file("M4V20002.thm"),
                                             dir.file("M4V20003.MP4")};
  EXPECT_EQ(TransferPaths(selected, true), expected);
  // A thumbnail that is selected too is not listed twice.
  EXPECT_EQ(TransferPaths({dir.file("M4V20001.MP4"), dir.file("M4V20001.THM")}, true).size(), 2u);
}
}  // namespace
