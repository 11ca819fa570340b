#pragma once
// The handheld player's memory stick as the transfer window sees it: which
// volume holds it, its video folders and which files the window lists and
// moves. No window here, so the rules can be tested on plain folders.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/drives/drives.h"

// The video kind of the transfer window; also the meaning of format_mp4
// (0 MPEG-4, anything else H.264).
enum VideoKind : int { kMpeg4Video = 0, kH264Video = 1 };

VideoKind VideoKindFromFormatMp4(int formatMp4);

// The video folder of a kind below a volume root, and the file name prefix
// of that kind ("M4V", "MAQ").
const char* DeviceSubfolder(VideoKind kind);  // "MP_ROOT/100MNV01", "MP_ROOT/100ANV01"
const char* DeviceNamePrefix(VideoKind kind);

constexpr const char* kDeviceRootFolder = "MP_ROOT";
constexpr const char* kMemstickMarker = "MEMSTICK.IND";
constexpr const char* kPspFolder = "PSP";
// A removable volume of this many MB or more is not taken for a stick by its
// "PSP" folder alone.
constexpr std::uint64_t kMaxStickSizeMB = 9000;

// The existing file or folder relative (one or more '/'-separated names)
// below folder, each name matched without regard to letter case the way the
// stick's file system and the original platform match them; empty when
// there is none. An exact match wins over one that differs in case.
std::string FindPathNoCase(const std::string& folder, const std::string& relative);

// The device folder of kind on the volume: the existing one in whatever case
// it was written, else the path to create.
std::string DeviceFolderPath(const std::string& volumeRoot, VideoKind kind);

// Total bytes of a volume; 0 when unknown.
using VolumeSizeFn = std::function<std::uint64_t(const std::string& root)>;
std::uint64_t VolumeTotalBytes(const std::string& root);

// Index of the volume holding the stick, or -1: first a removable volume
// with "MEMSTICK.IND" at its root, else the first removable volume of more
// than 0 and less than 9000 whole MB with a "PSP" folder at its root.
int DetectPspVolume(const std::vector<Volume>& volumes,
                    const VolumeSizeFn& totalBytes = VolumeTotalBytes);

// Creates the device folder of kind (and MP_ROOT) on the volume. The folder
// path, or empty with the reason in *error.
std::string CreateDeviceFolder(const std::string& volumeRoot, VideoKind kind, std::string* error);

// Whether a list shows an item: folders when the list shows folders; files
// whose name begins with the kind's prefix and whose extension is ".mp4", or
// ".thm" while thumbnails are not hidden; names compared without case.
bool ShowInTransferList(const std::string& path, bool isFolder, bool listShowsFolders,
                        VideoKind kind, bool hideThumbnails);

// The thumbnail of a video: the path with its last three characters replaced
// by "THM".
std::string ThumbnailPath(const std::string& videoPath);

// The paths a copy or delete acts on: each selected path, followed, when
// withThumbnails is set, by its thumbnail when that file exists (in any
// letter case). No path twice.
std::vector<std::string> TransferPaths(const std::vector<std::string>& selected, bool withThumbnails);

// The right-hand list's folder when no stick is found: "transfer" in the
// user's data folder ($XDG_DATA_HOME/Corvane/transfer), where the user may
// write even when the program is installed read-only.
std::string FallbackDeviceFolder();
