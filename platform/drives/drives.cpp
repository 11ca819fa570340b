#include "platform/drives/drives.h"

#include <sys/statvfs.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#include "app/core/diag_log.h"
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

bool AttributeIsOne(const fs::path& file) {
  std::ifstream in(file);
  std::string value;
  return in && (in >> value) && value == "1";
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
  if (fs::exists(device / "removable", ec)) return AttributeIsOne(device / "removable");
  return AttributeIsOne(device.parent_path() / "removable");
}

std::vector<Volume> VolumesFromMounts(const std::vector<MountEntry>& mounts,
                                      const std::string& sysRoot) {
  std::vector<Volume> volumes;
  std::set<std::pair<unsigned, unsigned>> seen;
  for (const MountEntry& m : mounts) {
    // Bind mounts of single files or sub-folders (container set-ups) and
    // virtual file systems are not volumes a user would pick.
    if (m.fsRoot != "/" || m.source.rfind("/dev/", 0) != 0 || m.major == 0) continue;
    if (!seen.insert({m.major, m.minor}).second) continue;
    if (!FolderExists(m.mountPoint)) continue;
    volumes.push_back({WithoutTrailingSlash(m.mountPoint),
                       IsRemovableBlockDevice(sysRoot, m.major, m.minor)});
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
  std::vector<Volume> volumes =
      VolumesFromMounts(ParseMountInfo(ReadWholeFile("/proc/self/mountinfo")), "/sys");
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
