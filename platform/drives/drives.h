#pragma once
// The volumes a device can be found on, standing in for drive letters: the
// mounted file systems of the machine (from /proc/self/mountinfo), removable
// as desktops count it (from /sys and where they are mounted), then the
// folders named in CORVANE_EXTRA_VOLUMES (':'-separated), which count as
// removable so a folder can stand in for a memory stick. The order of the
// list takes the place of the letter order.
#include <cstdint>
#include <string>
#include <vector>

// The environment variable with the extra volume roots.
constexpr const char* kExtraVolumesVariable = "CORVANE_EXTRA_VOLUMES";

struct Volume {
  std::string root;  // mount point or extra folder, no trailing '/' (except "/")
  bool removable = false;
};

// One line of mountinfo: what is mounted where.
struct MountEntry {
  unsigned major = 0, minor = 0;
  std::string fsRoot;      // the folder of the file system mounted ("/" for all of it)
  std::string mountPoint;  // octal escapes (\040 ...) decoded
  std::string source;      // "/dev/sdb1", "tmpfs", ...
};

// The well-formed lines of a mountinfo text; damaged lines are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// True when the block device major:minor (below sysRoot, "/sys" on a
// machine) is removable as desktops count it (lsblk's RM and HOTPLUG):
// the device or the disk it is a partition of has "1" in its "removable"
// attribute (media can be taken out), or the device hangs off a bus that
// is plugged and unplugged (USB, MMC/SD, Memory Stick, FireWire, PC Card),
// or a device on its way says "removable" in its own "removable" attribute.
// Built-in card readers and many USB readers set only the latter two.
bool IsRemovableBlockDevice(const std::string& sysRoot, unsigned major, unsigned minor);

// The folders below which the desktop's automounter mounts the user's
// removable media: /media/USER and /run/media/USER.
std::vector<std::string> UserAutomountFolders();

// The volumes of mountinfo: whole file systems on block devices, each device
// once (its first mount point), in mount order; removable when the device is
// or the mount point lies below one of automountFolders.
std::vector<Volume> VolumesFromMounts(const std::vector<MountEntry>& mounts, const std::string& sysRoot,
                                      const std::vector<std::string>& automountFolders = {});

// The existing folders of a ':'-separated list, as removable volumes. Entries
// that are not folders are logged and left out.
std::vector<Volume> ExtraVolumes(const std::string& list);

// The machine's volumes followed by the extra ones of the environment; an
// extra folder that is also a mount point is listed once, as removable.
std::vector<Volume> ListVolumes();

struct VolumeSpace {
  std::uint64_t totalBytes = 0;
  std::uint64_t freeBytes = 0;  // free to this user
};

// Total and free space of the file system holding path. False (and zeros)
// when it cannot be queried.
bool QueryVolumeSpace(const std::string& path, VolumeSpace* space);
