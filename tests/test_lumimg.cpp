#include "platform/lumimg/lumimg.h"
#include "platform/lumimg/halve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <cmath>
#include <numeric>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

TEST(LumImg, SplitAndPackRoundTripKeepsEveryByteAndPlaneOrder) {
  const int w = 6, h = 3;
  Bytes packed(w * h * 2);
  std::iota(packed.begin(), packed.end(), 0);
  Bytes y(w * h), u(w * h), v(w * h);
  LumSplitPackedToPlanes(packed.data(), w * 2, y.data(), w, u.data(), w, v.data(), w, w, h);
  EXPECT_EQ(y[0], 0);
  EXPECT_EQ(u[0], 1);
  EXPECT_EQ(y[1], 2);
  EXPECT_EQ(v[0], 3);
  EXPECT_EQ(y[w], 12);  // second row starts 2 x width bytes on
  Bytes back(w * h * 2, 0xEE);
  LumPackPlanesToPacked(y.data(), w, u.data(), w, v.data(), w, back.data(), w * 2, w * 2, h);
  EXPECT_EQ(back, packed);
}

TEST(LumImg, CropScaleFillsDestinationFromTheCropWindowOnly) {
  // Left half 50, right half 200: a crop of the right half must give 200s.
  const int w = 64, h = 32;
  Bytes src(w * h);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) src[r * w + c] = c < w / 2 ? 50 : 200;
  Bytes dst(40 * 20, 0);
  LumCropScalePlane(src.data(), w, h, w, 32, 0, 32, 32, dst.data(), 40, 40, 20, 40.0 / 32, 20.0 / 32, 2);
  for (auto px : dst) EXPECT_NEAR(px, 200, 1);

  // The whole plane scaled down keeps the split in the middle.
  Bytes half(32 * 16, 0);
  LumCropScalePlane(src.data(), w, h, w, 0, 0, w, h, half.data(), 32, 32, 16, 0.5, 0.5, 2);
  EXPECT_NEAR(half[5 * 32 + 2], 50, 2);
  EXPECT_NEAR(half[5 * 32 + 29], 200, 2);

  // A crop window past the edge is clipped, not read beyond the plane.
  Bytes out(16 * 16, 0);
  LumCropScalePlane(src.data(), w, h, w, 60, 30, 100, 100, out.data(), 16, 16, 16, 1, 1, 2);
  EXPECT_NEAR(out[0], 200, 2);
}

// The packed picture scaled in one pass gives what its planes give scaled one
// by one: same crop window, same chroma, rows of the caller's stride.
TEST(LumImg, PackedCropScaleMatchesThePlanesScaledOneByOne) {
  const int w = 96, h = 54, rowBytes = w * 2 + 8;  // rows padded past the picture
  Bytes packed(static_cast<size_t>(rowBytes) * h, 0);
  for (int r = 0; r < h; ++r)
    for (int i = 0; i < w * 2; ++i) packed[r * rowBytes + i] = static_cast<std::uint8_t>((r * 7 + i * 13 + (i % 4) * 40) & 0xFF);
  Bytes y(w * h), u(w * h), v(w * h);
  LumSplitPackedToPlanes(packed.data(), rowBytes, y.data(), w, u.data(), w, v.data(), w, w, h);
  struct Case {
    int cx, cy, cw, ch, W, H;
  };
  for (const Case k : {Case{0, 0, w, h, 40, 24}, Case{10, 6, 60, 40, 36, 30}, Case{20, 2, 40, 50, 40, 50},
                       Case{8, 4, 32, 20, 64, 44}}) {
    const int stride = k.W + 6;
    Bytes py(stride * k.H, 0), pu(stride * k.H, 0), pv(stride * k.H, 0);
    LumCropScalePacked422(packed.data(), w, h, rowBytes, k.cx, k.cy, k.cw, k.ch, py.data(), pu.data(), pv.data(), stride,
                          k.W, k.H, 2);
    Bytes ey(stride * k.H, 0), eu(stride * k.H, 0), ev(stride * k.H, 0);
    LumCropScalePlane(y.data(), w, h, w, k.cx, k.cy, k.cw, k.ch, ey.data(), stride, k.W, k.H, 1, 1, 2);
    LumCropScalePlane(u.data(), w / 2, h, w, k.cx / 2, k.cy, k.cw / 2, k.ch, eu.data(), stride, k.W / 2, k.H, 1, 1, 2);
    LumCropScalePlane(v.data(), w / 2, h, w, k.cx / 2, k.cy, k.cw / 2, k.ch, ev.data(), stride, k.W / 2, k.H, 1, 1, 2);
    int worst = 0;
    for (size_t i = 0; i < py.size(); ++i)
      worst = std::max({worst, std::abs(py[i] - ey[i]), std::abs(pu[i] - eu[i]), std::abs(pv[i] - ev[i])});
    EXPECT_LE(worst, 1) << "crop " << k.cx << "," << k.cy << " " << k.cw << "x" << k.ch << " to " << k.W << "x" << k.H;
  }
}

namespace {
struct CropCase {
  int cx, cy, cw, ch, W, H;
};

// Scales a 640x362 planar picture (4:2:0 with chromaRowShift 1, else 4:2:2)
// from its planes and from its packed 4:2:2 form; expects the two alike.
// stripe is added to every other chroma row.
void ExpectPlanarScaleMatchesPacked(int shift, int stripe, std::initializer_list<CropCase> cases) {
  const int w = 640, h = 362;  // 181 chroma rows of 4:2:0
  const int chromaRows = shift ? h / 2 + 1 : h;
  Bytes y(static_cast<size_t>(w) * h), u(static_cast<size_t>(w / 2) * chromaRows), v(u.size());
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x) y[static_cast<size_t>(r) * w + x] = static_cast<std::uint8_t>(16 + x / 4 + r / 6);
  for (size_t i = 0; i < u.size(); ++i) {
    const int x = static_cast<int>(i % (w / 2)), r = static_cast<int>(i / (w / 2));
    u[i] = static_cast<std::uint8_t>(64 + x / 3 + r / 4 + (r % 2) * stripe);
    v[i] = static_cast<std::uint8_t>(200 - x / 4 - r / 3 - (r % 2) * stripe);
  }
  LumPlanarPicture p;
  p.planes[0] = y.data();
  p.planes[1] = u.data();
  p.planes[2] = v.data();
  p.strides[0] = w;
  p.strides[1] = p.strides[2] = w / 2;
  p.width = w;
  p.height = h;
  p.chromaRowShift = shift;
  Bytes packed(static_cast<size_t>(w) * h * 2);
  LumPlanarToPacked422(y.data(), w, u.data(), w / 2, v.data(), w / 2, shift, packed.data(), w * 2, w, h);
  for (const CropCase k : cases) {
    const int stride = k.W + 4;
    Bytes py(stride * k.H, 0), pu(stride * k.H, 0), pv(stride * k.H, 0);
    LumCropScalePlanar(p, k.cx, k.cy, k.cw, k.ch, py.data(), pu.data(), pv.data(), stride, k.W, k.H, 2);
    Bytes ey(stride * k.H, 0), eu(stride * k.H, 0), ev(stride * k.H, 0);
    LumCropScalePacked422(packed.data(), w, h, w * 2, k.cx, k.cy, k.cw, k.ch, ey.data(), eu.data(), ev.data(), stride,
                          k.W, k.H, 2);
    double sum = 0;
    int worst = 0;
    for (int r = 0; r < k.H; ++r)
      for (int x = 0; x < k.W; ++x) {
        const size_t i = static_cast<size_t>(r) * stride + x, c = static_cast<size_t>(r) * stride + x / 2;
        const int d = std::max({std::abs(py[i] - ey[i]), std::abs(pu[c] - eu[c]), std::abs(pv[c] - ev[c])});
        worst = std::max(worst, d);
        sum += d;
      }
    SCOPED_TRACE(testing::Message() << (shift ? "4:2:0" : "4:2:2") << " stripe " << stripe << " crop " << k.cx << ","
                                    << k.cy << " " << k.cw << "x" << k.ch << " to " << k.W << "x" << k.H);
    EXPECT_LE(sum / (k.W * k.H), 0.6) << "on average";
    EXPECT_LE(worst, 3);
  }
}
}  // namespace

// A planar picture scaled from its planes (halved first when it shrinks by
// two or more: an odd number of 4:2:0 chroma rows, crops, an exact half)
// gives what its packed 4:2:2 form scaled in one pass gives. Halved exactly
// to the target, 4:2:0 and 4:2:2 alike, every chroma row keeps its own
// colour: stripes a chroma row apart survive, as the packed picture's do.
TEST(LumImg, PlanarCropScaleMatchesThePackedPicture) {
  for (const int shift : {1, 0})
    ExpectPlanarScaleMatchesPacked(shift, 0,
                                   {{0, 0, 640, 362, 100, 56}, {64, 40, 400, 300, 160, 120}, {0, 0, 640, 362, 320, 181},
                                    {32, 2, 300, 200, 200, 150}});
  for (const int shift : {1, 0})
    ExpectPlanarScaleMatchesPacked(shift, 40, {{0, 0, 640, 362, 320, 181}, {40, 2, 320, 240, 160, 120}});
}

// Every halved sample is the rounded average of its block, at widths that
// fill the wide vectors exactly, leave a remainder or fill none, from rows
// of an odd count (the last pairs with itself) and across a row only.
TEST(LumImg, HalvingGivesEachBlocksRoundedAverage) {
  const int stride = 2 * 97 + 3, rows = 17;
  Bytes src(static_cast<size_t>(stride) * rows);
  unsigned seed = 11;
  for (auto& b : src) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  std::fill_n(src.begin(), 64, 255);  // the largest sums
  for (const int rowsPerOutput : {2, 1})
    for (const int outW : {97, 64, 32, 30, 5}) {
      const int outH = rowsPerOutput == 2 ? (rows + 1) / 2 : rows, dstStride = outW + 5;
      Bytes dst(static_cast<size_t>(dstStride) * outH, 7);
      LumHalvePlane(src.data(), stride, rows, dst.data(), dstStride, outW, outH, rowsPerOutput);
      int wrong = 0, spill = 0;
      for (int r = 0; r < outH; ++r) {
        const int last = std::min(rowsPerOutput * r + rowsPerOutput - 1, rows - 1);
        const std::uint8_t* a = &src[static_cast<size_t>(rowsPerOutput * r) * stride];
        const std::uint8_t* b = &src[static_cast<size_t>(last) * stride];
        for (int x = 0; x < outW; ++x) {
          const int average = (a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) / 4;
          wrong += dst[static_cast<size_t>(r) * dstStride + x] != average;
        }
        for (int x = outW; x < dstStride; ++x) spill += dst[static_cast<size_t>(r) * dstStride + x] != 7;
      }
      EXPECT_EQ(wrong, 0) << outW << " wide, " << rowsPerOutput << " rows per output";
      EXPECT_EQ(spill, 0) << "written beyond the row, " << outW << " wide";
    }
}

TEST(LumImg, ColourConversionAndByteReorder) {
  const int w = 4, h = 2;
  Bytes y(w * h, 235), u(w * h, 128), v(w * h, 128);
  y[1] = 16;  // one black pixel
  // Pure red in studio range: Y 81, U 90, V 240.
  y[4] = 81; y[5] = 81; u[4] = 90; v[4] = 240;  // row 1, chroma stride w
  Bytes rgb(w * 3 * h);
  LumPlanesToPacked24(y.data(), w, u.data(), w, v.data(), w, rgb.data(), w * 3, h);
  EXPECT_GE(rgb[0], 250);  // white
  EXPECT_LE(rgb[3], 4);    // black
  const std::uint8_t* red = &rgb[(1 * w + 0) * 3];
  EXPECT_GE(red[0], 235);
  EXPECT_LE(red[1], 20);
  EXPECT_LE(red[2], 20);
  LumReorderPixelBytes(rgb.data(), w * 3, h, 2, 1, 0);
  EXPECT_LE(rgb[(1 * w) * 3 + 0], 20);  // now B G R
  EXPECT_GE(rgb[(1 * w) * 3 + 2], 235);
}

namespace {
// Packs one 2x1 picture of the given Y, U, V through the map; returns Y0 U Y1 V.
std::array<int, 4> Packed(int y, int u, int v, const LumColourMap* map) {
  const std::uint8_t yp[2] = {static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(y)};
  const std::uint8_t up = static_cast<std::uint8_t>(u), vp = static_cast<std::uint8_t>(v);
  std::uint8_t out[4];
  LumPlanarToPacked422(yp, 2, &up, 1, &vp, 1, 0, out, 4, 2, 1, map);
  return {out[0], out[1], out[2], out[3]};
}
}  // namespace

TEST(LumImg, FullRangeAndBt709PicturesBecomeStudioRangeBt601) {
  // Full range: grey 128 and white 255 become 126 and 235, black 0 becomes
  // 16; a saturated colour difference of 255 becomes 240.
  LumYuvColour full;
  full.fullRange = true;
  const LumColourMap fromFull = LumMakeColourMap(full, kLumStudioBt601);
  EXPECT_EQ(Packed(128, 128, 128, &fromFull), (std::array<int, 4>{126, 128, 126, 128}));
  EXPECT_EQ(Packed(255, 128, 128, &fromFull)[0], 235);
  EXPECT_EQ(Packed(0, 255, 0, &fromFull), (std::array<int, 4>{16, 240, 16, 16}));
  // BT.709 studio red (63, 102, 240) is BT.601 studio red (81, 90, 240);
  // greys keep their level.
  LumYuvColour hd;
  hd.kr = 0.2126;
  hd.kb = 0.0722;
  const LumColourMap fromHd = LumMakeColourMap(hd, kLumStudioBt601);
  const auto red = Packed(63, 102, 240, &fromHd);
  EXPECT_NEAR(red[0], 81, 1);
  EXPECT_NEAR(red[1], 90, 1);
  EXPECT_NEAR(red[3], 240, 1);
  EXPECT_EQ(Packed(180, 128, 128, &fromHd), (std::array<int, 4>{180, 128, 180, 128}));
  // Without a map the bytes are only packed.
  EXPECT_EQ(Packed(3, 200, 7, nullptr), (std::array<int, 4>{3, 200, 3, 7}));
}

// Packing with a colour map gives, at every pixel of a 4:2:0 and a 4:2:2
// picture, exactly the map applied to that pixel: for a map whose luma weight
// is one (BT.709 studio range) and one whose is not (full range).
TEST(LumImg, ColourPackingAppliesTheMapExactlyAtEveryPixel) {
  const int w = 38, h = 6;
  Bytes y(w * h), u(w * h), v(w * h);
  unsigned seed = 7;
  auto next = [&] { return static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
  for (auto* plane : {&y, &u, &v})
    for (auto& b : *plane) b = next();
  y[0] = 0, y[1] = 255, u[0] = 255, v[0] = 0;  // the extremes clamp
  LumYuvColour hd, full;
  hd.kr = 0.2126, hd.kb = 0.0722;
  full.fullRange = true;
  auto clamp8 = [](long f) { return static_cast<int>(std::clamp((f + (1 << (kLumColourShift - 1))) >> kLumColourShift, 0L, 255L)); };
  for (const LumYuvColour& from : {hd, full}) {
    const LumColourMap m = LumMakeColourMap(from, kLumStudioBt601);
    for (int shift : {1, 0}) {
      Bytes out(w * h * 2, 0);
      LumPlanarToPacked422(y.data(), w, u.data(), w, v.data(), w, shift, out.data(), w * 2, w, h, &m);
      int wrong = 0;
      for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x) {
          const long Y = y[r * w + x], U = u[(r >> shift) * w + x / 2], V = v[(r >> shift) * w + x / 2];
          const int expect[2] = {clamp8(m.y0 + m.yy * Y + m.yu * U + m.yv * V),
                                 x % 2 ? clamp8(m.v0 + m.vu * U + m.vv * V) : clamp8(m.u0 + m.uu * U + m.uv * V)};
          wrong += out[(r * w + x) * 2] != expect[0];
          wrong += out[(r * w + x) * 2 + 1] != expect[1];
        }
      EXPECT_EQ(wrong, 0) << (from.fullRange ? "full range" : "BT.709") << (shift ? " 4:2:0" : " 4:2:2");
    }
  }
}

TEST(LumImg, DenoiseSmoothsNoiseAndSharpenRaisesContrast) {
  const int w = 16, h = 16;
  Bytes flat(w * h);
  for (int i = 0; i < w * h; ++i) flat[i] = static_cast<std::uint8_t>(100 + ((i * 7) % 5) - 2);
  auto spread = [](const Bytes& b) {
    auto [lo, hi] = std::minmax_element(b.begin(), b.end());
    return *hi - *lo;
  };
  Bytes noisy = flat;
  LumFilterPlaneDenoise(128, noisy.data(), w, w, h, 7);
  EXPECT_LT(spread(noisy), spread(flat));

  Bytes edge(w * h);
  for (int i = 0; i < w * h; ++i) edge[i] = (i % w) < w / 2 ? 80 : 160;
  Bytes sharp = edge;
  LumFilterPlaneSharpen(8, sharp.data(), w, w, h, 0);
  EXPECT_LT(sharp[w / 2 - 1], 80);
  EXPECT_GT(sharp[w / 2], 160);
  Bytes off = edge;
  LumFilterPlaneSharpen(0, off.data(), w, w, h, 0);
  EXPECT_EQ(off, edge);
}

namespace {
std::vector<std::int16_t> Tone(int rate, int n, double hz) {
  std::vector<std::int16_t> s(n);
  for (int i = 0; i < n; ++i) s[i] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * hz * i / rate));
  return s;
}
}  // namespace

TEST(LumImg, ResamplerJoinsBlocksWithoutGapsAndKeepsTheRate) {
  const int src = 44100, out = 48000;
  auto tone = Tone(src, src, 440.0);  // one second
  auto rs = LumResampler::Create(src, out, 256, 0.95, 9.0, 1);
  ASSERT_TRUE(rs);
  std::vector<std::int16_t> result;
  std::vector<std::int16_t> buf(rs->MaxOutput(1471));
  for (int pos = 0; pos < src; pos += 1471) {
    int n = std::min(1471, src - pos);
    int got = rs->Convert(tone.data() + pos, n, buf.data(), static_cast<int>(buf.size()));
    result.insert(result.end(), buf.begin(), buf.begin() + got);
  }
  // All but the filter's delay comes out.
  EXPECT_NEAR(static_cast<double>(result.size()), out, 64);
  // No clicks at block joins: the output follows a clean 440 Hz tone, so no
  // step between neighbours is larger than the tone's steepest slope allows.
  const double maxStep = 10000 * 2 * M_PI * 440.0 / out * 1.1;
  for (size_t i = 200; i + 1 < result.size(); ++i)
    ASSERT_LE(std::abs(result[i + 1] - result[i]), maxStep) << "at " << i;

  auto same = LumResampler::Create(48000, 48000, 256, 0.95, 9.0, 1);
  std::int16_t in[3] = {1, -2, 3}, o[3];
  EXPECT_EQ(same->Convert(in, 3, o, 3), 3);
  EXPECT_EQ(o[2], 3);
  EXPECT_EQ(LumResampler::Create(0, 48000, 256, 0.95, 9.0, 1), nullptr);
}
