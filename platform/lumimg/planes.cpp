// Packing and unpacking of 4:2:2 pictures and the byte reorder of pixels.
#include <algorithm>

#include "platform/lumimg/lumimg.h"

void LumSplitPackedToPlanes(const std::uint8_t* src, int srcRowBytes, std::uint8_t* y, int yStride,
                            std::uint8_t* u, int uStride, std::uint8_t* v, int vStride, int width,
                            int height) {
  const int pairs = width / 2;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* s = src + static_cast<std::ptrdiff_t>(row) * srcRowBytes;
    std::uint8_t* yr = y + static_cast<std::ptrdiff_t>(row) * yStride;
    std::uint8_t* ur = u + static_cast<std::ptrdiff_t>(row) * uStride;
    std::uint8_t* vr = v + static_cast<std::ptrdiff_t>(row) * vStride;
    for (int i = 0; i < pairs; ++i) {
      yr[2 * i] = s[4 * i];
      ur[i] = s[4 * i + 1];
      yr[2 * i + 1] = s[4 * i + 2];
      vr[i] = s[4 * i + 3];
    }
    if (width & 1) yr[width - 1] = s[4 * pairs];
  }
}

void LumPackPlanesToPacked(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride,
                           const std::uint8_t* v, int vStride, std::uint8_t* dst, int rowBytes,
                           int dstStride, int height) {
  const int pairs = rowBytes / 4;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* yr = y + static_cast<std::ptrdiff_t>(row) * yStride;
    const std::uint8_t* ur = u + static_cast<std::ptrdiff_t>(row) * uStride;
    const std::uint8_t* vr = v + static_cast<std::ptrdiff_t>(row) * vStride;
    std::uint8_t* d = dst + static_cast<std::ptrdiff_t>(row) * dstStride;
    for (int i = 0; i < pairs; ++i) {
      d[4 * i] = yr[2 * i];
      d[4 * i + 1] = ur[i];
      d[4 * i + 2] = yr[2 * i + 1];
      d[4 * i + 3] = vr[i];
    }
  }
}

namespace {
#if defined(__GNUC__)
#define LUM_INLINE inline __attribute__((always_inline))
#else
#define LUM_INLINE inline
#endif

LUM_INLINE std::uint8_t Clamp8(int fixed) {
  return static_cast<std::uint8_t>(std::clamp((fixed + (1 << (kLumColourShift - 1))) >> kLumColourShift, 0, 255));
}

LUM_INLINE void CopyRow(const std::uint8_t* __restrict yr, const std::uint8_t* __restrict ur,
                        const std::uint8_t* __restrict vr, std::uint8_t* __restrict d, int pairs) {
  for (int i = 0; i < pairs; ++i) {
    d[4 * i] = yr[2 * i];
    d[4 * i + 1] = ur[i];
    d[4 * i + 2] = yr[2 * i + 1];
    d[4 * i + 3] = vr[i];
  }
}

LUM_INLINE void ConvertRow(const std::uint8_t* __restrict yr, const std::uint8_t* __restrict ur,
                           const std::uint8_t* __restrict vr, std::uint8_t* __restrict d, int pairs,
                           const LumColourMap& m) {
  const LumColourMap c = m;
  for (int i = 0; i < pairs; ++i) {
    const int u = ur[i], v = vr[i];
    const int fromChroma = c.y0 + c.yu * u + c.yv * v;
    d[4 * i] = Clamp8(fromChroma + c.yy * yr[2 * i]);
    d[4 * i + 1] = Clamp8(c.u0 + c.uu * u + c.uv * v);
    d[4 * i + 2] = Clamp8(fromChroma + c.yy * yr[2 * i + 1]);
    d[4 * i + 3] = Clamp8(c.v0 + c.vu * u + c.vv * v);
  }
}

struct Planes {
  const std::uint8_t *y, *u, *v;
  int yStride, uStride, vStride, chromaRowShift;
  std::uint8_t* dst;
  int dstStride, pairs, height;
};

LUM_INLINE void PackPicture(const Planes& p, const LumColourMap* colour) {
  for (int row = 0; row < p.height; ++row) {
    const std::uint8_t* yr = p.y + static_cast<std::ptrdiff_t>(row) * p.yStride;
    const std::uint8_t* ur = p.u + static_cast<std::ptrdiff_t>(row >> p.chromaRowShift) * p.uStride;
    const std::uint8_t* vr = p.v + static_cast<std::ptrdiff_t>(row >> p.chromaRowShift) * p.vStride;
    std::uint8_t* d = p.dst + static_cast<std::ptrdiff_t>(row) * p.dstStride;
    if (colour) ConvertRow(yr, ur, vr, d, p.pairs, *colour);
    else CopyRow(yr, ur, vr, d, p.pairs);
  }
}

void PackPictureBase(const Planes& p, const LumColourMap* colour) { PackPicture(p, colour); }

// The same, compiled for the wider vectors where the processor has them (a
// plain branch: sanitizers cannot run the loader's resolvers that
// function clones need).
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void PackPictureAvx2(const Planes& p, const LumColourMap* colour) {
  PackPicture(p, colour);
}
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#else
void PackPictureAvx2(const Planes& p, const LumColourMap* colour) { PackPicture(p, colour); }
bool HasAvx2() { return false; }
#endif
}  // namespace

void LumPlanarToPacked422(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride,
                          const std::uint8_t* v, int vStride, int chromaRowShift, std::uint8_t* dst,
                          int dstStride, int width, int height, const LumColourMap* colour) {
  const Planes p{y, u, v, yStride, uStride, vStride, chromaRowShift, dst, dstStride, width / 2, height};
  if (HasAvx2()) PackPictureAvx2(p, colour);
  else PackPictureBase(p, colour);
}

void LumReorderPixelBytes(std::uint8_t* buf, int rowLength, int rows, int o0, int o1, int o2) {
  if (o0 < 0 || o0 > 2 || o1 < 0 || o1 > 2 || o2 < 0 || o2 > 2) return;
  const int pixels = rowLength / 3;
  for (int row = 0; row < rows; ++row) {
    std::uint8_t* p = buf + static_cast<std::ptrdiff_t>(row) * rowLength;
    for (int i = 0; i < pixels; ++i, p += 3) {
      const std::uint8_t px[3] = {p[0], p[1], p[2]};
      p[0] = px[o0];
      p[1] = px[o1];
      p[2] = px[o2];
    }
  }
}
