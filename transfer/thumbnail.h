#pragma once
// The thumbnail of a recording: a 160 x 120 JPEG beside the output with the
// extension ".THM", which the handheld player shows next to the video, and a
// 32 x 24 miniature for the main window's thumbnail button. No window here:
// the window receives the miniature's BMP file through a callback.
#include <cstdint>
#include <functional>
#include <string>

#include "core/frame_state.h"
#include "transfer/bmp_writer.h"

constexpr int kThumbnailWidth = 160;
constexpr int kThumbnailHeight = 120;
constexpr int kGlyphWidth = 32;
constexpr int kGlyphHeight = 24;
// Row 23, column 0 of each miniature plane carries this sample value.
constexpr int kGlyphMarkerOffset = 736;
constexpr std::uint8_t kGlyphMarkerValue = 254;
// The thumbnail button's picture until a conversion makes one, shipped in
// the program folder and loaded when a graph is built.
constexpr const char* kDefaultThumbnailPicture = "Thumbnail.bmp";
// The automatic thumbnail is taken this far into a recording.
constexpr double kAutoThumbnailDelaySec = 2.5;

// A captured frame: three 8-bit planes, chroma at half the luma width and
// the full height, every plane with the luma width as its row stride.
struct FramePlanes {
  const std::uint8_t* y = nullptr;
  const std::uint8_t* u = nullptr;
  const std::uint8_t* v = nullptr;
  int width = 0;
  int height = 0;
};

// The luma crop window of a source in pixels (each value truncated toward
// zero) and the scale factors to a destination size.
struct CropWindow {
  int x = 0, y = 0, width = 0, height = 0;
  double hFactor = 0.0, vFactor = 0.0;
};
CropWindow ThumbnailCropWindow(int srcWidth, int srcHeight, const CropFractions& crop, int dstWidth,
                               int dstHeight);

// Scales the crop window of frame into a dstWidth x dstHeight image.
PlaneImage ScaleToThumbnail(const FramePlanes& frame, const CropFractions& crop, int dstWidth,
                            int dstHeight);

// outputPath with the text from the last '.' of its file name replaced by
// ext (".THM", ".bmp"); ext is appended when the file name has no '.'.
std::string WithExtension(const std::string& outputPath, const std::string& ext);

// Called with the path of the miniature's BMP file while it exists; the
// window loads it as the button's picture. Failures there are the caller's.
using GlyphReady = std::function<void(const std::string& bmpPath)>;

// Makes the thumbnail of outputPath from frame, cropped by crop: sets the
// thumbnail-made flag, writes the ".THM" file (replacing an older one) and
// hands the miniature to glyphReady; the ".bmp" file is removed afterwards.
// 0 when the ".THM" file was written, -1 otherwise; callers may ignore it.
int MakeThumbnail(const std::string& outputPath, const FramePlanes& frame, const CropFractions& crop,
                  const GlyphReady& glyphReady = {});

// The same for the current output path and crop window of the frame state.
int MakeThumbnailForCurrentOutput(const FramePlanes& frame, const GlyphReady& glyphReady = {});

// The thumbnail-made flag: cleared when a recording starts, set by
// MakeThumbnail. Written and read on the user-interface thread.
bool ThumbnailMade();
void ClearThumbnailMade();

// True the first time in a recording that the recorded position is more than
// 2.5 seconds past its start and no thumbnail has been made.
bool ShouldMakeAutoThumbnail(double positionSec, double recordStartSec);
