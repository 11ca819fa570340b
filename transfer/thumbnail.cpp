#include "transfer/thumbnail.h"

#include <atomic>
#include <cstdio>

#include "platform/lumimg/lumimg.h"
#include "transfer/jpeg_writer.h"

namespace {
// Atomic only so a batch converter thread could read it safely.
std::atomic<bool> g_thumbnailMade{false};

constexpr int kSmoothScale = 2;
}  // namespace

CropWindow ThumbnailCropWindow(int srcWidth, int srcHeight, const CropFractions& crop, int dstWidth,
                               int dstHeight) {
  CropWindow c;
  c.x = static_cast<int>(srcWidth * crop.left);
  c.width = static_cast<int>((crop.right - crop.left) * srcWidth);
  c.y = static_cast<int>(srcHeight * crop.top);
  c.height = static_cast<int>((crop.bottom - crop.top) * srcHeight);
  if (c.width > 0) c.hFactor = static_cast<double>(dstWidth) / c.width;
  if (c.height > 0) c.vFactor = static_cast<double>(dstHeight) / c.height;
  return c;
}

PlaneImage ScaleToThumbnail(const FramePlanes& frame, const CropFractions& crop, int dstWidth,
                            int dstHeight) {
  PlaneImage out(dstWidth, dstHeight);
  const int w = frame.width, h = frame.height;
  const CropWindow c = ThumbnailCropWindow(w, h, crop, dstWidth, dstHeight);
  LumCropScalePlane(frame.y, w, h, w, c.x, c.y, c.width, c.height, out.y.data(), dstWidth, dstWidth,
                    dstHeight, c.hFactor, c.vFactor, kSmoothScale);
  // Chroma: half the widths and the crop x, the full heights and strides.
  for (auto [src, dst] : {std::pair{frame.u, out.u.data()}, std::pair{frame.v, out.v.data()}})
    LumCropScalePlane(src, w / 2, h, w, c.x / 2, c.y, c.width / 2, c.height, dst, dstWidth,
                      dstWidth / 2, dstHeight, c.hFactor, c.vFactor, kSmoothScale);
  return out;
}

std::string WithExtension(const std::string& outputPath, const std::string& ext) {
  const std::size_t slash = outputPath.rfind('/');
  const std::size_t dot = outputPath.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return outputPath + ext;
  return outputPath.substr(0, dot) + ext;
}

int MakeThumbnail(const std::string& outputPath, const FramePlanes& frame, const CropFractions& crop,
                  const GlyphReady& glyphReady) {
  // 1. The flag is set even when a step below fails, so the automatic
  // thumbnail is tried once per recording.
  g_thumbnailMade = true;
  const CropWindow c = ThumbnailCropWindow(frame.width, frame.height, crop, kGlyphWidth, kGlyphHeight);
  if (!frame.y || !frame.u || !frame.v || frame.width < 2 || frame.height < 1 || c.width < 2 ||
      c.height < 1)
    return -1;

  // 2-3. The two sizes from the same crop window.
  const std::string thmPath = WithExtension(outputPath, ".THM");
  const std::string bmpPath = WithExtension(outputPath, ".bmp");
  PlaneImage thumb = ScaleToThumbnail(frame, crop, kThumbnailWidth, kThumbnailHeight);
  PlaneImage glyph = ScaleToThumbnail(frame, crop, kGlyphWidth, kGlyphHeight);

  // 4. The marker sample of the miniature.
  glyph.y[kGlyphMarkerOffset] = glyph.u[kGlyphMarkerOffset] = glyph.v[kGlyphMarkerOffset] =
      kGlyphMarkerValue;

  // 5. The miniature as a BMP file for the window's button.
  if (WriteBmpFile(bmpPath, glyph) == 0 && glyphReady) glyphReady(bmpPath);

  // 6. The JPEG from the pixels a 160 x 120 BMP file would hold.
  const std::vector<std::uint8_t> rgb = PackedRgbPixels(thumb);
  const int result = WriteJpegFile(thmPath, rgb.data(), kThumbnailWidth, kThumbnailHeight);

  // 7.
  std::remove(bmpPath.c_str());
  return result;
}

int MakeThumbnailForCurrentOutput(const FramePlanes& frame, const GlyphReady& glyphReady) {
  return MakeThumbnail(Frame().GetOutputPath(), frame, Frame().CropRect, glyphReady);
}

bool ThumbnailMade() { return g_thumbnailMade; }

void ClearThumbnailMade() { g_thumbnailMade = false; }

bool ShouldMakeAutoThumbnail(double positionSec, double recordStartSec) {
  return !g_thumbnailMade && positionSec - recordStartSec > kAutoThumbnailDelaySec;
}
