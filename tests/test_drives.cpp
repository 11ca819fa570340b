#include "platform/drives/drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;

TEST(MountInfo, ReadsFieldsDecodesEscapesAndSkipsDamagedLines) {
  const std::string text =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "40 22 8:17 / /media/user/my\\040stick rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw,fmask=0022\n"
      "garbage line\n"
      "41 22 0:25 / /run rw - tmpfs tmpfs rw\n"
      "42 22 8:1 /var/lib/hosts /etc/hosts rw - ext4 /dev/sda1 rw\n"
      "43 22 8:x / /broken rw - ext4 /dev/sdc1 rw\n";
  const std::vector<MountEntry> m = ParseMountInfo(text);
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0].mountPoint, "/");
  EXPECT_EQ(m[1].major, 8u);
  EXPECT_EQ(m[1].minor, 17u);
  EXPECT_EQ(m[1].mountPoint, "/media/user/my stick");
  EXPECT_EQ(m[1].source, "/dev/sdb1");
  EXPECT_EQ(m[2].source, "tmpfs");
  EXPECT_EQ(m[3].fsRoot, "/var/lib/hosts");
}

// A /sys tree with a fixed disk sda (partition sda1) and a removable disk
// sdb (partition sdb1, and the whole disk sdc without partitions).
class FakeSys : public ::testing::Test {
 protected:
  void SetUp() override {
    Disk("sda", "0", "8:0", "sda1", "8:1");
    Disk("sdb", "1", "8:16", "sdb1", "8:17");
    Disk("sdc", "1", "8:32", "", "");
    fs::create_directories(dir_.file("mnt/root"));
    fs::create_directories(dir_.file("mnt/stick one"));
    fs::create_directories(dir_.file("mnt/again"));
  }

  void Disk(const std::string& disk, const std::string& removable, const std::string& diskNumber,
            const std::string& part, const std::string& partNumber) {
    const fs::path block = fs::path(dir_.file("sys/devices/pci0/usb1")) / "block" / disk;
    fs::create_directories(block);
    WriteFileBytes((block / "removable").string(), removable + "\n");
    fs::create_directories(dir_.file("sys/dev/block"));
    fs::create_symlink(block, dir_.file("sys/dev/block/" + diskNumber));
    if (part.empty()) return;
    fs::create_directories(block / part);
    fs::create_symlink(block / part, dir_.file("sys/dev/block/" + partNumber));
  }

  std::string Line(int id, const std::string& majmin, const std::string& root, const std::string& mountPoint,
                   const std::string& source) {
    return std::to_string(id) + " 1 " + majmin + " " + root + " " + mountPoint + " rw - vfat " + source + " rw\n";
  }

  TempDir dir_;
};

TEST_F(FakeSys, RemovableFlagComesFromTheDiskOfAPartition) {
  const std::string sys = dir_.file("sys");
  EXPECT_FALSE(IsRemovableBlockDevice(sys, 8, 1));
  EXPECT_TRUE(IsRemovableBlockDevice(sys, 8, 17));
  EXPECT_TRUE(IsRemovableBlockDevice(sys, 8, 32));
  EXPECT_FALSE(IsRemovableBlockDevice(sys, 9, 9));  // unknown device
}

TEST_F(FakeSys, VolumesAreWholeBlockFileSystemsEachDeviceOnce) {
  const std::string stick = dir_.file("mnt/stick\\040one");
  const std::string text = Line(1, "8:1", "/", dir_.file("mnt/root"), "/dev/sda1") +
                           Line(2, "0:25", "/", dir_.file("mnt/again"), "tmpfs") +
                           Line(3, "8:1", "/some/dir", dir_.file("mnt/again"), "/dev/sda1") +
                           Line(4, "8:17", "/", stick, "/dev/sdb1") +
                           Line(5, "8:17", "/", dir_.file("mnt/again"), "/dev/sdb1") +
                           Line(6, "8:32", "/", dir_.file("mnt/gone"), "/dev/sdc");
  const std::vector<Volume> v = VolumesFromMounts(ParseMountInfo(text), dir_.file("sys"));
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].root, dir_.file("mnt/root"));
  EXPECT_FALSE(v[0].removable);
  EXPECT_EQ(v[1].root, dir_.file("mnt/stick one"));
  EXPECT_TRUE(v[1].removable);
}

TEST(ExtraVolumes, ExistingFoldersInOrderAsRemovable) {
  TempDir dir;
  fs::create_directories(dir.file("a"));
  fs::create_directories(dir.file("b"));
  WriteFileBytes(dir.file("file"), "x");
  const std::vector<Volume> v =
      ExtraVolumes(dir.file("b") + "/::" + dir.file("missing") + ":" + dir.file("file") + ":" + dir.file("a"));
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].root, dir.file("b"));
  EXPECT_EQ(v[1].root, dir.file("a"));
  EXPECT_TRUE(v[0].removable && v[1].removable);
}

TEST(ExtraVolumes, ListedAfterTheMachinesVolumes) {
  TempDir dir;
  setenv(kExtraVolumesVariable, dir.path().c_str(), 1);
  const std::vector<Volume> v = ListVolumes();
  unsetenv(kExtraVolumesVariable);
  ASSERT_FALSE(v.empty());
  EXPECT_EQ(v.back().root, dir.path());
  EXPECT_TRUE(v.back().removable);
}

TEST(VolumeSpace, TotalAndFreeOfAFolderAndNothingForAMissingOne) {
  TempDir dir;
  VolumeSpace space;
  ASSERT_TRUE(QueryVolumeSpace(dir.path(), &space));
  EXPECT_GT(space.totalBytes, 0u);
  EXPECT_LE(space.freeBytes, space.totalBytes);
  EXPECT_FALSE(QueryVolumeSpace(dir.file("missing"), &space));
  EXPECT_EQ(space.totalBytes, 0u);
}
}  // namespace
