#include "platform/drives/drives.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"
#include "transfer/psp_device.h"

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

// Block devices placed as the kernel places them, each with its parent
// devices, their buses and their own "removable" attributes:
//   a built-in card reader (MMC bus; removable 0, hotplug 1) and its Memory
//   Stick slot, a USB card reader (removable 0 on the disk), a disk behind a
//   device that says "removable" itself, and the internal SATA disk.
class DesktopSys : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string pci = "devices/pci0000:00/";
    Bus(pci + "0000:00:1c.0", "pci");
    Bus(pci + "0000:00:1c.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa", "mmc");
    Block(pci + "0000:00:1c.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0", "179:0", "mmcblk0p1",
          "179:1");
    Bus(pci + "0000:00:1c.0/rtsx_pci_ms.0/memstick0/memstick0:1", "memstick");
    Block(pci + "0000:00:1c.0/rtsx_pci_ms.0/memstick0/memstick0:1/block/mspblk0", "252:0", "mspblk0p1", "252:1");
    Bus(pci + "0000:00:14.0", "pci");
    Bus(pci + "0000:00:14.0/usb2/2-1", "usb");
    Bus(pci + "0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", "scsi");
    Block(pci + "0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdd", "8:48", "sdd1", "8:49");
    fs::create_directories(dir_.file("sys/devices/platform/dock.0"));
    WriteFileBytes(dir_.file("sys/devices/platform/dock.0/removable"), "removable\n");
    Block("devices/platform/dock.0/disk/sde", "8:64", "", "");
    Bus(pci + "0000:00:17.0", "pci");
    WriteFileBytes(dir_.file("sys/" + pci + "0000:00:17.0/removable"), "fixed\n");
    Bus(pci + "0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "scsi");
    Block(pci + "0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", "8:0", "sda2", "8:2");
  }

  void Bus(const std::string& device, const std::string& bus) {
    fs::create_directories(dir_.file("sys/" + device));
    fs::create_directories(dir_.file("sys/bus/" + bus));
    fs::create_symlink(dir_.file("sys/bus/" + bus), dir_.file("sys/" + device + "/subsystem"));
  }

  // A disk whose own "removable" says 0, and its partition.
  void Block(const std::string& disk, const std::string& diskNumber, const std::string& part,
             const std::string& partNumber) {
    fs::create_directories(dir_.file("sys/" + disk));
    WriteFileBytes(dir_.file("sys/" + disk + "/removable"), "0\n");
    fs::create_directories(dir_.file("sys/dev/block"));
    fs::create_symlink(dir_.file("sys/" + disk), dir_.file("sys/dev/block/" + diskNumber));
    if (part.empty()) return;
    fs::create_directories(dir_.file("sys/" + disk + "/" + part));
    fs::create_symlink(dir_.file("sys/" + disk + "/" + part), dir_.file("sys/dev/block/" + partNumber));
  }

  std::string Mount(int id, const std::string& majmin, const std::string& folder, const std::string& source) {
    fs::create_directories(dir_.file(folder));
    return std::to_string(id) + " 1 " + majmin + " / " + dir_.file(folder) + " rw - vfat " + source + " rw\n";
  }

  TempDir dir_;
};

TEST_F(DesktopSys, CardReadersAndUsbReadersCountAsRemovableTheInternalDiskDoesNot) {
  const std::string sys = dir_.file("sys");
  EXPECT_TRUE(IsRemovableBlockDevice(sys, 179, 1)) << "SD card in the built-in reader";
  EXPECT_TRUE(IsRemovableBlockDevice(sys, 179, 0));
  EXPECT_TRUE(IsRemovableBlockDevice(sys, 252, 1)) << "Memory Stick in the built-in reader";
  EXPECT_TRUE(IsRemovableBlockDevice(sys, 8, 49)) << "USB reader";
  EXPECT_TRUE(IsRemovableBlockDevice(sys, 8, 64)) << "behind a device that says it is removable";
  EXPECT_FALSE(IsRemovableBlockDevice(sys, 8, 2)) << "internal SATA disk";
  EXPECT_FALSE(IsRemovableBlockDevice(sys, 8, 0));
}

// The stick in a built-in card reader is found by its PSP folder; a folder
// the automounter made for this user counts as removable whatever the
// device says, one of another user's or the automount folder itself not.
TEST_F(DesktopSys, TheStickInACardReaderAndAnAutomountedVolumeAreFound) {
  const std::vector<std::string> automount = {dir_.file("media/me"), dir_.file("run/media/me")};
  const std::string table = Mount(1, "8:2", "root", "/dev/sda2") +
                            Mount(2, "179:1", "mnt/card", "/dev/mmcblk0p1") +
                            Mount(3, "8:49", "mnt/usb", "/dev/sdd1");
  std::vector<Volume> v = VolumesFromMounts(ParseMountInfo(table), dir_.file("sys"), automount);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_FALSE(v[0].removable);
  EXPECT_TRUE(v[1].removable);
  EXPECT_TRUE(v[2].removable);
  fs::create_directories(dir_.file("mnt/card/PSP"));
  const auto eightGb = [](const std::string&) { return std::uint64_t{8} << 30; };
  EXPECT_EQ(DetectPspVolume(v, eightGb), 1);

  // The internal disk's numbers stand in for a disk the system does not
  // know to be removable.
  const std::string automounted = Mount(1, "8:2", "root", "/dev/sda2") +
                                  Mount(2, "8:3", "run/media/me/STICK", "/dev/sda3") +
                                  Mount(3, "8:4", "run/media/other/THEIRS", "/dev/sda4") +
                                  Mount(4, "8:5", "media/me", "/dev/sda5");
  v = VolumesFromMounts(ParseMountInfo(automounted), dir_.file("sys"), automount);
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v[1].root, dir_.file("run/media/me/STICK"));
  EXPECT_TRUE(v[1].removable);
  EXPECT_FALSE(v[2].removable);
  EXPECT_FALSE(v[3].removable);
  fs::create_directories(dir_.file("run/media/me/STICK/PSP"));
  EXPECT_EQ(DetectPspVolume(v, eightGb), 1);
}

TEST(AutomountFolders, AreTheUsersOwnBelowMediaAndRunMedia) {
  const std::vector<std::string> folders = UserAutomountFolders();
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].rfind("/media/", 0), 0u);
  EXPECT_EQ(folders[1].rfind("/run/media/", 0), 0u);
  EXPECT_EQ(folders[0].substr(7), folders[1].substr(11));
  EXPECT_GT(folders[0].size(), 7u);
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
