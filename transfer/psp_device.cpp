#include "transfer/psp_device.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/core/paths.h"

namespace {
std::string FileName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The entry of folder called name, in whatever case it is written.
std::string FindEntryNoCase(const std::string& folder, const std::string& name) {
  const std::string exact = JoinPath(folder, name);
  if (PathExists(exact)) return exact;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return {};
  std::string found;
  while (const dirent* e = readdir(dir)) {
    if (EqualsNoCase(e->d_name, name)) {
      found = JoinPath(folder, e->d_name);
      break;
    }
  }
  closedir(dir);
  return found;
}
}  // namespace

VideoKind VideoKindFromFormatMp4(int formatMp4) { return formatMp4 ? kH264Video : kMpeg4Video; }

const char* DeviceSubfolder(VideoKind kind) {
  return kind == kH264Video ? "MP_ROOT/100ANV01" : "MP_ROOT/100MNV01";
}

const char* DeviceNamePrefix(VideoKind kind) { return kind == kH264Video ? "MAQ" : "M4V"; }

std::string FindPathNoCase(const std::string& folder, const std::string& relative) {
  std::string path = folder;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    const std::string name = relative.substr(start, end - start);
    if (!name.empty()) {
      path = FindEntryNoCase(path, name);
      if (path.empty()) return {};
    }
    start = end + 1;
  }
  return path;
}

std::string DeviceFolderPath(const std::string& volumeRoot, VideoKind kind) {
  const std::string found = FindPathNoCase(volumeRoot, DeviceSubfolder(kind));
  if (!found.empty()) return found;
  // Create the video folder inside an MP_ROOT written in another case rather
  // than beside it.
  const std::string sub = DeviceSubfolder(kind);
  const std::string mpRoot = FindPathNoCase(volumeRoot, kDeviceRootFolder);
  const std::string leaf = sub.substr(sub.rfind('/') + 1);
  return mpRoot.empty() ? JoinPath(volumeRoot, sub) : JoinPath(mpRoot, leaf);
}

std::uint64_t VolumeTotalBytes(const std::string& root) {
  VolumeSpace space;
  QueryVolumeSpace(root, &space);
  return space.totalBytes;
}

int DetectPspVolume(const std::vector<Volume>& volumes, const VolumeSizeFn& totalBytes) {
  std::vector<bool> candidate(volumes.size(), false);
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    if (!volumes[i].removable) continue;
    const std::uint64_t mb = totalBytes(volumes[i].root) / 1024 / 1024;
    candidate[i] = mb > 0 && mb < kMaxStickSizeMB;
  }
  for (std::size_t i = 0; i < volumes.size(); ++i)
    if (volumes[i].removable && !FindPathNoCase(volumes[i].root, kMemstickMarker).empty())
      return static_cast<int>(i);
  for (std::size_t i = 0; i < volumes.size(); ++i)
    if (candidate[i] && !FindPathNoCase(volumes[i].root, kPspFolder).empty())
      return static_cast<int>(i);
  return -1;
}

std::string CreateDeviceFolder(const std::string& volumeRoot, VideoKind kind, std::string* error) {
  const std::string folder = DeviceFolderPath(volumeRoot, kind);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !FolderExists(folder)) {
    *error = "Cannot create the folder \"" + folder + "\": " +
             (ec ? ec.message() : std::string("not a folder"));
    return {};
  }
  return folder;
}

bool ShowInTransferList(const std::string& path, bool isFolder, bool listShowsFolders,
                        VideoKind kind, bool hideThumbnails) {
  if (isFolder) return listShowsFolders;
  const std::string name = FileName(path);
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || !StartsWithNoCase(name, DeviceNamePrefix(kind))) return false;
  const std::string ext = name.substr(dot);
  return EqualsNoCase(ext, ".mp4") || (EqualsNoCase(ext, ".thm") && !hideThumbnails);
}

std::string ThumbnailPath(const std::string& videoPath) {
  if (videoPath.size() < 3) return videoPath + "THM";
  return videoPath.substr(0, videoPath.size() - 3) + "THM";
}

std::vector<std::string> TransferPaths(const std::vector<std::string>& selected, bool withThumbnails) {
  std::vector<std::string> paths;
  auto add = [&paths](const std::string& p) {
    if (std::find(paths.begin(), paths.end(), p) == paths.end()) paths.push_back(p);
  };
  for (const std::string& item : selected) {
    add(item);
    if (!withThumbnails || FolderExists(item)) continue;
    const std::string thumb = ThumbnailPath(item);
    const auto slash = thumb.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : thumb.substr(0, slash);
    const std::string found = FindPathNoCase(folder, FileName(thumb));
    if (!found.empty() && found != item && !FolderExists(found)) add(found);
  }
  return paths;
}

std::string FallbackDeviceFolder() { return JoinPath(UserDataFolder(), "transfer"); }
