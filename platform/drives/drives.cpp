#include "platform/drives/drives.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#include "core/diag_log.h"
#include "platform/core/paths.h"

namespace {
namespace fs = std::filesystem;

// mountinfo writes space, tab, newline and backslash in paths as \ooo.
std::string DecodeOctalEscapes(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const std::string digits = s.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string::npos) {
        out.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

std::string WithoutTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

bool AttributeIs(const fs::path& file, const char* expected) {
  std::ifstream in(file);
  std::string value;
  return in && (in >> value) && value == expected;
}

// Buses whose devices are plugged in and pulled out while the machine runs.
bool IsHotplugBus(const std::string& subsystem) {
  for (const char* bus : {"usb", "mmc", "memstick", "ieee1394", "pcmcia"})
    if (subsystem == bus) return true;
  return false;
}

// Walks from a block device up its chain of parent devices (a USB reader:
// partition, disk, SCSI device, host, USB interface, USB device; a card
// reader: card, MMC host, PCI function) for a hot-pluggable one.
bool HangsOffHotplugBus(const fs::path& device, const fs::path& devicesRoot) {
  const std::string root = devicesRoot.string();
  for (fs::path p = device; p.string().size() > root.size() && p.string().rfind(root, 0) == 0;
       p = p.parent_path()) {
    std::error_code ec;
    const fs::path subsystem = fs::read_symlink(p / "subsystem", ec);
    if (!ec && IsHotplugBus(subsystem.filename().string())) return true;
    if (AttributeIs(p / "removable", "removable")) return true;
  }
  return false;
}

// The block device a mount is on: the numbers mountinfo gives, or, for file
// systems that give numbers of their own (FUSE exFAT and NTFS, btrfs),
// those of the device file it names.
bool MountDevice(const MountEntry& m, std::pair<unsigned, unsigned>* device) {
  if (m.source.rfind("/dev/", 0) != 0) return false;
  if (m.major != 0) {
    *device = {m.major, m.minor};
    return true;
  }
  struct stat st {};
  if (::stat(m.source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  *device = {major(st.st_rdev), minor(st.st_rdev)};
  return true;
}

bool IsBelowAny(const std::string& path, const std::vector<std::string>& folders) {
  for (const std::string& f : folders) {
    const std::string prefix = WithoutTrailingSlash(f) + "/";
    if (path.size() > prefix.size() && path.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  std::vector<MountEntry> mounts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    // id parent major:minor root mount-point options [optional...] - fstype source super-options
    std::istringstream fields(line);
    std::string id, parent, majmin, root, mountPoint;
    if (!(fields >> id >> parent >> majmin >> root >> mountPoint)) continue;
    std::string word, fsType, source;
    bool separator = false;
    while (fields >> word) {
      if (word == "-") {
        separator = true;
        break;
      }
    }
    if (!separator || !(fields >> fsType >> source)) continue;
    MountEntry e;
    char colon = 0;
    std::istringstream mm(majmin);
    if (!(mm >> e.major >> colon >> e.minor) || colon != ':') continue;
    e.fsRoot = DecodeOctalEscapes(root);
    e.mountPoint = DecodeOctalEscapes(mountPoint);
    e.source = DecodeOctalEscapes(source);
    mounts.push_back(std::move(e));
  }
  return mounts;
}

bool IsRemovableBlockDevice(const std::string& sysRoot, unsigned major, unsigned minor) {
  std::error_code ec;
  const fs::path link = fs::path(sysRoot) / "dev" / "block" /
                        (std::to_string(major) + ":" + std::to_string(minor));
  const fs::path device = fs::canonical(link, ec);
  if (ec) return false;
  // A partition has no "removable" attribute of its own; its disk has.
  const fs::path disk = fs::exists(device / "removable", ec) ? device : device.parent_path();
  if (AttributeIs(disk / "removable", "1")) return true;
  const fs::path devices = fs::weakly_canonical(fs::path(sysRoot) / "devices", ec);
  return !ec && HangsOffHotplugBus(device, devices);
}

std::vector<std::string> UserAutomountFolders() {
  const passwd* pw = ::getpwuid(::getuid());
  const char* user = pw && pw->pw_name ? pw->pw_name : std::getenv("USER");
  if (!user || !*user) return {};
  return {std::string("/media/") + user, std::string("/run/media/") + user};
}

std::vector<Volume> VolumesFromMounts(const std::vector<MountEntry>& mounts, const std::string& sysRoot,
                                      const std::vector<std::string>& automountFolders) {
  std::vector<Volume> volumes;
  std::set<std::pair<unsigned, unsigned>> seen;
  for (const MountEntry& m : mounts) {
    // Bind mounts of single files or sub-folders (container set-ups) and
    // virtual file systems are not volumes a user would pick.
    std::pair<unsigned, unsigned> device;
    if (m.fsRoot != "/" || !MountDevice(m, &device)) continue;
    if (!seen.insert(device).second) continue;
    if (!FolderExists(m.mountPoint)) continue;
    const std::string root = WithoutTrailingSlash(m.mountPoint);
    volumes.push_back({root, IsBelowAny(root, automountFolders) ||
                                 IsRemovableBlockDevice(sysRoot, device.first, device.second)});
  }
  return volumes;
}

std::vector<Volume> ExtraVolumes(const std::string& list) {
  std::vector<Volume> volumes;
  std::istringstream parts(list);
  std::string root;
  while (std::getline(parts, root, ':')) {
    if (root.empty()) continue;
    if (!FolderExists(root)) {
      WriteLog("Extra volume %s is not a folder; left out", root.c_str());
      continue;
    }
    volumes.push_back({WithoutTrailingSlash(root), true});
  }
  return volumes;
}

std::vector<Volume> ListVolumes() {
  std::vector<Volume> volumes = VolumesFromMounts(ParseMountInfo(ReadWholeFile("/proc/self/mountinfo")), "/sys",
                                                 UserAutomountFolders());
  const char* extra = std::getenv(kExtraVolumesVariable);
  for (Volume& v : ExtraVolumes(extra ? extra : "")) {
    bool merged = false;
    for (Volume& known : volumes) {
      if (known.root == v.root) {
        known.removable = true;
        merged = true;
      }
    }
    if (!merged) volumes.push_back(std::move(v));
  }
  return volumes;
}

bool QueryVolumeSpace(const std::string& path, VolumeSpace* space) {
  *space = {};
  struct statvfs st;
  if (statvfs(path.c_str(), &st) != 0) return false;
  space->totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
  space->freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}
