// Plane scaling and colour conversion over libswscale.
extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <vector>

#include "platform/lumimg/halve.h"
#include "platform/lumimg/lumimg.h"

namespace {
// Scalers cached per thread and per set of sizes and formats, so the capture
// thread and the thumbnail code never share a context, and the planes of a
// frame (luma and the two half-width chroma planes) each keep theirs instead
// of rebuilding one context for every plane of every frame.
class ScalerCache {
 public:
  ~ScalerCache() {
    for (Entry& e : entries_) sws_freeContext(e.ctx);
  }
  SwsContext* Get(int sw, int sh, AVPixelFormat sf, int dw, int dh, AVPixelFormat df, int flags) {
    const Key key{sw, sh, sf, dw, dh, df, flags};
    for (Entry& e : entries_)
      if (e.key == key) return e.ctx;
    // The oldest entry makes room; a handful covers every size in use.
    if (entries_.size() == kEntries) {
      sws_freeContext(entries_.front().ctx);
      entries_.erase(entries_.begin());
    }
    SwsContext* ctx = sws_getContext(sw, sh, sf, dw, dh, df, flags, nullptr, nullptr, nullptr);
    if (ctx) entries_.push_back({key, ctx});
    return ctx;
  }

 private:
  struct Key {
    int sw, sh;
    AVPixelFormat sf;
    int dw, dh;
    AVPixelFormat df;
    int flags;
    bool operator==(const Key&) const = default;
  };
  struct Entry {
    Key key;
    SwsContext* ctx;
  };
  static constexpr size_t kEntries = 6;
  std::vector<Entry> entries_;
};

thread_local ScalerCache t_planeScaler;
thread_local ScalerCache t_rgbConverter;

void ClipCrop(int srcW, int srcH, int& x, int& y, int& w, int& h) {
  x = std::clamp(x, 0, std::max(srcW - 1, 0));
  y = std::clamp(y, 0, std::max(srcH - 1, 0));
  w = std::clamp(w, 1, srcW - x);
  h = std::clamp(h, 1, srcH - y);
}
// The smooth mode (2) averages the area each output sample covers when it
// shrinks (no aliasing, and the cheapest filter), and is bicubic when it
// enlarges; any other mode is bilinear.
int ScaleFlags(int srcW, int srcH, int dstW, int dstH, int mode) {
  const bool shrinks = dstW <= srcW && dstH <= srcH;
  return mode == 2 ? (shrinks ? SWS_AREA : SWS_BICUBIC) : SWS_BILINEAR;
}

// Scales the rows of a source (one buffer: a plane or packed pixels; or
// three planes) into up to three destination planes of one stride; a null
// plane is not written. A slice of a picture starts at firstRow; slices
// come top to bottom.
using Planes3 = std::array<const std::uint8_t*, 3>;
using Strides3 = std::array<int, 3>;
void RunScaler(SwsContext* ctx, Planes3 src, Strides3 srcStrides, int rows, std::array<std::uint8_t*, 3> dst,
               int dstStride, int firstRow = 0) {
  if (!ctx) return;
  const std::uint8_t* srcPlanes[4] = {src[0], src[1], src[2], nullptr};
  int strides[4] = {srcStrides[0], srcStrides[1], srcStrides[2], 0};
  std::uint8_t* dstPlanes[4] = {dst[0], dst[1], dst[2], nullptr};
  int dstStrides[4] = {0, 0, 0, 0};
  for (int i = 0; i < 3; ++i) dstStrides[i] = dst[i] ? dstStride : 0;
  sws_scale(ctx, srcPlanes, strides, firstRow, rows, dstPlanes, dstStrides);
}
}  // namespace

void LumCropScalePlane(const std::uint8_t* src, int srcW, int srcH, int srcStride, int cropX,
                       int cropY, int cropW, int cropH, std::uint8_t* dst, int dstStride, int dstW,
                       int dstH, double /*hFactor*/, double /*vFactor*/, int mode) {
  // The destination size already fixes the factors; swscale derives its own
  // from the sizes, which keeps both planes of a frame exactly aligned.
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return;
  ClipCrop(srcW, srcH, cropX, cropY, cropW, cropH);
  const std::uint8_t* origin = src + static_cast<std::ptrdiff_t>(cropY) * srcStride + cropX;
  if (cropW == dstW && cropH == dstH) {
    for (int row = 0; row < dstH; ++row)
      std::copy_n(origin + static_cast<std::ptrdiff_t>(row) * srcStride, dstW,
                  dst + static_cast<std::ptrdiff_t>(row) * dstStride);
    return;
  }
  SwsContext* ctx = t_planeScaler.Get(cropW, cropH, AV_PIX_FMT_GRAY8, dstW, dstH, AV_PIX_FMT_GRAY8,
                                      ScaleFlags(cropW, cropH, dstW, dstH, mode));
  RunScaler(ctx, {origin, nullptr, nullptr}, {srcStride, 0, 0}, cropH, {dst, nullptr, nullptr}, dstStride);
}

void LumCropScalePacked422(const std::uint8_t* src, int srcW, int srcH, int srcRowBytes, int cropX, int cropY,
                           int cropW, int cropH, std::uint8_t* dstY, std::uint8_t* dstU, std::uint8_t* dstV,
                           int dstStride, int dstW, int dstH, int mode) {
  if (srcW < 2 || srcH <= 0 || dstW < 2 || dstH <= 0) return;
  ClipCrop(srcW, srcH, cropX, cropY, cropW, cropH);
  // A pixel pair shares its chroma: the window keeps whole pairs.
  cropX &= ~1;
  cropW = std::max(std::min(cropW, srcW - cropX) & ~1, 2);
  const std::uint8_t* origin = src + static_cast<std::ptrdiff_t>(cropY) * srcRowBytes + cropX * 2;
  if (cropW == dstW && cropH == dstH) {
    LumSplitPackedToPlanes(origin, srcRowBytes, dstY, dstStride, dstU, dstStride, dstV, dstStride, dstW, dstH);
    return;
  }
  SwsContext* ctx = t_planeScaler.Get(cropW, cropH, AV_PIX_FMT_YUYV422, dstW, dstH, AV_PIX_FMT_YUV422P,
                                      ScaleFlags(cropW, cropH, dstW, dstH, mode));
  RunScaler(ctx, {origin, nullptr, nullptr}, {srcRowBytes, 0, 0}, cropH, {dstY, dstU, dstV}, dstStride);
}

namespace {
// A picture's crop window halved in both directions, then scaled. Averaging
// the area each output sample covers is the smooth filter's own rule, so a
// picture shrunk by two or more is first halved cheaply: the scaler then
// reads a quarter of the samples (a 1080p picture to the handheld's size was
// the largest single cost of a conversion after the decoding). The halving
// runs a band of rows at a time, each band handed to the scaler as a slice:
// the halved picture is never whole in memory, and each band is still in
// the cache when the scaler reads it.
constexpr int kBandRows = 32;  // halved rows per band: even, so 4:2:0 bands hold whole chroma rows

void ScaleHalvedInBands(SwsContext* ctx, const Planes3& planes, const Strides3& strides, int shift, int cropW,
                        int cropH, std::array<std::uint8_t*, 3> dst, int dstStride) {
  if (!ctx) return;
  thread_local std::vector<std::uint8_t> band;
  const int w = (cropW / 2) & ~1, h = cropH / 2, chromaW = w / 2;
  const int bandChromaRows = kBandRows >> shift, srcChromaRows = (cropH + shift) >> shift;
  band.resize(static_cast<size_t>(w) * kBandRows + 2 * static_cast<size_t>(chromaW) * bandChromaRows);
  std::uint8_t* y = band.data();
  std::uint8_t* u = y + static_cast<std::ptrdiff_t>(w) * kBandRows;
  std::uint8_t* v = u + static_cast<std::ptrdiff_t>(chromaW) * bandChromaRows;
  for (int r0 = 0; r0 < h; r0 += kBandRows) {
    const int rows = std::min(kBandRows, h - r0);
    LumHalvePlane(planes[0] + static_cast<std::ptrdiff_t>(2 * r0) * strides[0], strides[0], cropH - 2 * r0, y, w, w,
                  rows);
    const int c0 = r0 >> shift, chromaRows = ((r0 + rows + shift) >> shift) - c0;
    for (int p = 1; p < 3; ++p)
      LumHalvePlane(planes[p] + static_cast<std::ptrdiff_t>(2 * c0) * strides[p], strides[p], srcChromaRows - 2 * c0,
                    p == 1 ? u : v, chromaW, chromaW, chromaRows);
    RunScaler(ctx, {y, u, v}, {w, chromaW, chromaW}, rows, dst, dstStride, r0);
  }
}

// A crop window exactly twice the destination is halved straight into the
// 4:2:2 destination: the scaler would only copy the luma and stretch the
// chroma again. A 4:2:2 destination row covers two source luma rows, which
// one 4:2:0 chroma row covers already, so that row is halved across only.
void HalveIntoDestination(const Planes3& planes, const Strides3& strides, int shift, int cropH,
                          std::array<std::uint8_t*, 3> dst, int dstStride, int dstW, int dstH) {
  LumHalvePlane(planes[0], strides[0], cropH, dst[0], dstStride, dstW, dstH);
  const int srcChromaRows = (cropH + shift) >> shift;
  for (int p = 1; p < 3; ++p)
    LumHalvePlane(planes[p], strides[p], srcChromaRows, dst[p], dstStride, dstW / 2, dstH, 2 >> shift);
}
}  // namespace

void LumCropScalePlanar(const LumPlanarPicture& src, int cropX, int cropY, int cropW, int cropH, std::uint8_t* dstY,
                        std::uint8_t* dstU, std::uint8_t* dstV, int dstStride, int dstW, int dstH, int mode) {
  if (src.width < 2 || src.height <= 0 || dstW < 2 || dstH <= 0 || !src.planes[0] || !src.planes[1] || !src.planes[2])
    return;
  ClipCrop(src.width, src.height, cropX, cropY, cropW, cropH);
  // Whole chroma samples only: even columns, and even rows of 4:2:0.
  const int shift = src.chromaRowShift ? 1 : 0;
  cropX &= ~1;
  cropW = std::max(std::min(cropW, src.width - cropX) & ~1, 2);
  if (shift) cropY &= ~1;
  const Planes3 planes = {src.planes[0] + static_cast<std::ptrdiff_t>(cropY) * src.strides[0] + cropX,
                          src.planes[1] + static_cast<std::ptrdiff_t>(cropY >> shift) * src.strides[1] + cropX / 2,
                          src.planes[2] + static_cast<std::ptrdiff_t>(cropY >> shift) * src.strides[2] + cropX / 2};
  const Strides3 strides = {src.strides[0], src.strides[1], src.strides[2]};
  const AVPixelFormat format = shift ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV422P;
  const bool smoothShrink = ScaleFlags(cropW, cropH, dstW, dstH, mode) == SWS_AREA;
  if (smoothShrink && cropW >= 2 * dstW && cropH >= 2 * dstH && cropW >= 4 && cropH >= 2) {
    const int halfW = (cropW / 2) & ~1, halfH = cropH / 2;
    if (halfW == dstW && halfH == dstH) {
      HalveIntoDestination(planes, strides, shift, cropH, {dstY, dstU, dstV}, dstStride, dstW, dstH);
      return;
    }
    SwsContext* ctx = t_planeScaler.Get(halfW, halfH, format, dstW, dstH, AV_PIX_FMT_YUV422P,
                                        ScaleFlags(halfW, halfH, dstW, dstH, mode));
    ScaleHalvedInBands(ctx, planes, strides, shift, cropW, cropH, {dstY, dstU, dstV}, dstStride);
    return;
  }
  SwsContext* ctx = t_planeScaler.Get(cropW, cropH, format, dstW, dstH, AV_PIX_FMT_YUV422P,
                                      ScaleFlags(cropW, cropH, dstW, dstH, mode));
  RunScaler(ctx, planes, strides, cropH, {dstY, dstU, dstV}, dstStride);
}

void LumPlanesToPacked24(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride,
                         const std::uint8_t* v, int vStride, std::uint8_t* dst, int rowLength,
                         int height) {
  const int width = rowLength / 3;
  if (width <= 0 || height <= 0) return;
  SwsContext* ctx = t_rgbConverter.Get(width, height, AV_PIX_FMT_YUV422P, width, height,
                                       AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND);
  if (!ctx) return;
  const std::uint8_t* srcPlanes[4] = {y, u, v, nullptr};
  int srcStrides[4] = {yStride, uStride, vStride, 0};
  std::uint8_t* dstPlanes[4] = {dst, nullptr, nullptr, nullptr};
  int dstStrides[4] = {rowLength, 0, 0, 0};
  sws_scale(ctx, srcPlanes, srcStrides, 0, height, dstPlanes, dstStrides);
}
