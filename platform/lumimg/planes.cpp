// Packing and unpacking of 4:2:2 pictures and the byte reorder of pixels.
#include <algorithm>
#include <vector>

#include "platform/lumimg/cpu_features.h"
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

// What one chroma row gives every pair in it: its converted U and V and
// what its chroma adds to its two luma samples. A row of 4:2:0 chroma serves
// two luma rows and is converted once for both.
struct ChromaTerms {
  std::vector<int> luma;             // y0 + yu U + yv V
  std::vector<std::int16_t> shift;   // with a luma weight of one: the luma's rounded change
  std::vector<std::uint8_t> u, v;
  explicit ChromaTerms(int pairs) : luma(pairs), shift(pairs), u(pairs), v(pairs) {}
};

LUM_INLINE void ConvertChromaRow(const std::uint8_t* __restrict ur, const std::uint8_t* __restrict vr,
                                 ChromaTerms& t, int pairs, const LumColourMap& m, bool unitLuma) {
  const LumColourMap c = m;
  int* __restrict luma = t.luma.data();
  std::uint8_t* __restrict uo = t.u.data();
  std::uint8_t* __restrict vo = t.v.data();
  for (int i = 0; i < pairs; ++i) {
    const int u = ur[i], v = vr[i];
    luma[i] = c.y0 + c.yu * u + c.yv * v;
    uo[i] = Clamp8(c.u0 + c.uu * u + c.uv * v);
    vo[i] = Clamp8(c.v0 + c.vu * u + c.vv * v);
  }
  // (f + yy Y + half) >> shift is Y + ((f + half) >> shift) when yy is one.
  std::int16_t* __restrict shift = t.shift.data();
  if (unitLuma)
    for (int i = 0; i < pairs; ++i)
      shift[i] = static_cast<std::int16_t>(std::clamp((luma[i] + (1 << (kLumColourShift - 1))) >> kLumColourShift, -255, 255));
}

LUM_INLINE void ConvertLumaRow(const std::uint8_t* __restrict yr, const ChromaTerms& t, std::uint8_t* __restrict d,
                               int pairs, int yy) {
  const int* __restrict luma = t.luma.data();
  const std::uint8_t* __restrict uo = t.u.data();
  const std::uint8_t* __restrict vo = t.v.data();
  for (int i = 0; i < pairs; ++i) {
    d[4 * i] = Clamp8(luma[i] + yy * yr[2 * i]);
    d[4 * i + 1] = uo[i];
    d[4 * i + 2] = Clamp8(luma[i] + yy * yr[2 * i + 1]);
    d[4 * i + 3] = vo[i];
  }
}

LUM_INLINE void ShiftLumaRow(const std::uint8_t* __restrict yr, const ChromaTerms& t, std::uint8_t* __restrict d,
                             int pairs) {
  const std::int16_t* __restrict delta = t.shift.data();
  const std::uint8_t* __restrict uo = t.u.data();
  const std::uint8_t* __restrict vo = t.v.data();
  for (int i = 0; i < pairs; ++i) {
    d[4 * i] = static_cast<std::uint8_t>(std::clamp<std::int16_t>(yr[2 * i] + delta[i], 0, 255));
    d[4 * i + 1] = uo[i];
    d[4 * i + 2] = static_cast<std::uint8_t>(std::clamp<std::int16_t>(yr[2 * i + 1] + delta[i], 0, 255));
    d[4 * i + 3] = vo[i];
  }
}

struct Planes {
  const std::uint8_t *y, *u, *v;
  int yStride, uStride, vStride, chromaRowShift;
  std::uint8_t* dst;
  int dstStride, pairs, height;
};

LUM_INLINE void ConvertPicture(const Planes& p, const LumColourMap& colour) {
  ChromaTerms terms(p.pairs);
  const bool unitLuma = colour.yy == 1 << kLumColourShift;
  for (int row = 0; row < p.height; ++row) {
    const int chromaRow = row >> p.chromaRowShift;
    if (row == 0 || chromaRow != (row - 1) >> p.chromaRowShift)
      ConvertChromaRow(p.u + static_cast<std::ptrdiff_t>(chromaRow) * p.uStride,
                       p.v + static_cast<std::ptrdiff_t>(chromaRow) * p.vStride, terms, p.pairs, colour, unitLuma);
    const std::uint8_t* yr = p.y + static_cast<std::ptrdiff_t>(row) * p.yStride;
    std::uint8_t* d = p.dst + static_cast<std::ptrdiff_t>(row) * p.dstStride;
    if (unitLuma) ShiftLumaRow(yr, terms, d, p.pairs);
    else ConvertLumaRow(yr, terms, d, p.pairs, colour.yy);
  }
}

LUM_INLINE void PackPicture(const Planes& p, const LumColourMap* colour) {
  if (colour) return ConvertPicture(p, *colour);
  for (int row = 0; row < p.height; ++row) {
    const std::uint8_t* yr = p.y + static_cast<std::ptrdiff_t>(row) * p.yStride;
    const std::uint8_t* ur = p.u + static_cast<std::ptrdiff_t>(row >> p.chromaRowShift) * p.uStride;
    const std::uint8_t* vr = p.v + static_cast<std::ptrdiff_t>(row >> p.chromaRowShift) * p.vStride;
    CopyRow(yr, ur, vr, p.dst + static_cast<std::ptrdiff_t>(row) * p.dstStride, p.pairs);
  }
}

void PackPictureBase(const Planes& p, const LumColourMap* colour) { PackPicture(p, colour); }

// The same, compiled for the wider vectors where the processor has them.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void PackPictureAvx2(const Planes& p, const LumColourMap* colour) {
  PackPicture(p, colour);
}
#else
void PackPictureAvx2(const Planes& p, const LumColourMap* colour) { PackPicture(p, colour); }
#endif
}  // namespace

void LumPlanarToPacked422(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride,
                          const std::uint8_t* v, int vStride, int chromaRowShift, std::uint8_t* dst,
                          int dstStride, int width, int height, const LumColourMap* colour) {
  const Planes p{y, u, v, yStride, uStride, vStride, chromaRowShift, dst, dstStride, width / 2, height};
  if (LumHasAvx2()) PackPictureAvx2(p, colour);
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
