#include "engine/capture_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/dshow/filters.h"
#include "tests/support/test_support.h"

namespace {
// A video-info type of w x h (negative h: top-down) at the given frame time.
struct VideoType {
  AM_MEDIA_TYPE mt{};
  VIDEOINFOHEADER vih{};
  VIDEOINFOHEADER2 vih2{};
  explicit VideoType(int w, int h, REFERENCE_TIME frameTime = 400000) {
    vih.bmiHeader.biWidth = w;
    vih.bmiHeader.biHeight = h;
    vih.AvgTimePerFrame = frameTime;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_YUY2;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = reinterpret_cast<BYTE*>(&vih);
  }
  VideoType& AsInfo2(int ax, int ay, RECT src) {
    vih2.bmiHeader = vih.bmiHeader;
    vih2.AvgTimePerFrame = vih.AvgTimePerFrame;
    vih2.dwPictAspectRatioX = ax;
    vih2.dwPictAspectRatioY = ay;
    vih2.rcSource = src;
    mt.formattype = FORMAT_VideoInfo2;
    mt.cbFormat = sizeof(vih2);
    mt.pbFormat = reinterpret_cast<BYTE*>(&vih2);
    return *this;
  }
};

// Packed 4:2:2 picture whose luma is 16 everywhere but a bright column band
// [bandFrom, bandTo) and a bright row band [rowFrom, rowTo).
std::vector<std::uint8_t> Picture(int w, int h, int bandFrom, int bandTo, int rowFrom = -1, int rowTo = -1) {
  std::vector<std::uint8_t> p(static_cast<size_t>(w) * h * 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool bright = (x >= bandFrom && x < bandTo) || (y >= rowFrom && y < rowTo);
      p[(y * w + x) * 2] = bright ? 235 : 16;
      p[(y * w + x) * 2 + 1] = 128;
    }
  return p;
}

int LumaAt(const std::uint8_t* packed, int W, int x, int y) { return packed[(y * W + x) * 2]; }

void ResetCapture() {
  CaptureFrameState& c = CaptureFrames();
  c.video = VideoFormatState();
  c.scale = ScaleSettings();
  c.PlanesValid = false;
}
}  // namespace

TEST(CaptureFrames, VideoTypesSetSizeAspectAndFrameTime) {
  ResetCapture();
  VideoType t(720, 576, 400000);
  auto aspect = ApplyVideoMediaType(t.mt, false);
  VideoFormatState& v = CaptureFrames().video;
  EXPECT_EQ(v.SourceWidth, 720);
  ASSERT_TRUE(aspect.has_value());
  EXPECT_DOUBLE_EQ(*aspect, 720.0 / 576);
  EXPECT_DOUBLE_EQ(v.ActualFrameTime.load(), 0.04);
  EXPECT_TRUE(v.bFixedFrameTime);
  EXPECT_FALSE(ApplyVideoMediaType(t.mt, true).has_value()) << "same size: the panel is not told again";

  // Anamorphic 16:9 with a source rectangle: its size is used, not the bitmap's.
  VideoType t2(720, 576);
  t2.AsInfo2(16, 9, RECT{0, 0, 704, 576});
  aspect = ApplyVideoMediaType(t2.mt, true);
  ASSERT_TRUE(aspect.has_value());
  EXPECT_DOUBLE_EQ(*aspect, 16.0 / 9);
  EXPECT_EQ(v.SourceWidth, 704);
  EXPECT_EQ(v.RowBytes, 1440);
  EXPECT_TRUE(v.bVideoInfo2);

  // A source rectangle outside the bitmap is ignored; a type without a
  // format block changes nothing.
  VideoType t3(320, 240);
  t3.AsInfo2(4, 3, RECT{0, 0, 640, 480});
  ApplyVideoMediaType(t3.mt, true);
  EXPECT_EQ(v.SourceWidth, 320);
  AM_MEDIA_TYPE empty{};
  empty.formattype = FORMAT_VideoInfo;
  EXPECT_FALSE(ApplyVideoMediaType(empty, true).has_value());
  EXPECT_EQ(v.SourceWidth, 320);
}

TEST(CaptureFrames, BuffersGrowOnlyPastTheStaticSize) {
  FrameBuffers b;
  EXPECT_EQ(b.pixelCapacity, kStaticFramePixels);
  EXPECT_TRUE(b.Reserve(720 * 560));
  EXPECT_EQ(b.output.size(), 2u * kStaticFramePixels);
  // A large source grows the source planes only: the output stays small.
  EXPECT_TRUE(b.Reserve(1920 * 1080));
  EXPECT_EQ(b.srcY.size(), 2073600u);
  EXPECT_EQ(b.srcV.size(), 2073600u);
  EXPECT_EQ(b.output.size(), 2u * kStaticFramePixels);
  EXPECT_EQ(b.dstY.size(), static_cast<size_t>(kStaticFramePixels));
  // A large output grows the output and the target planes.
  EXPECT_TRUE(b.ReserveTarget(1280 * 720));
  EXPECT_EQ(b.output.size(), 1843200u);
  EXPECT_EQ(b.dstV.size(), 921600u);
  EXPECT_TRUE(b.Reserve(320 * 240));
  EXPECT_EQ(b.srcY.size(), 2073600u) << "buffers never shrink";
  // Sized for a larger picture than the one in hand, they take memory only
  // where written: the grown source planes hold no copy of the old ones,
  // and the output keeps what it held. (Under AddressSanitizer they live on
  // its heap, which marks pages of its own.)
  FrameBuffers fresh;
  std::memset(fresh.srcY.data(), 0x40, fresh.srcY.size());
  fresh.output[0] = 0x41;
  ASSERT_TRUE(fresh.Reserve(1920 * 1080));
  ASSERT_TRUE(fresh.ReserveTarget(1280 * 720));
  std::memset(fresh.srcY.data(), 0x42, 480 * 270);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LE(ResidentPages(fresh.srcY.data(), fresh.srcY.size()), (480 * 270 + 8191) / 4096);
  EXPECT_EQ(ResidentPages(fresh.srcU.data(), fresh.srcU.size()), 0);
#endif
  EXPECT_EQ(fresh.output[0], 0x41);

  // A 1280 x 720 type (top-down, negative height) grows the capture buffers.
  ResetCapture();
  ApplyVideoMediaType(VideoType(1280, -720).mt, false);
  EXPECT_GE(CaptureFrames().buffers.pixelCapacity, 1280 * 720);
  EXPECT_EQ(CaptureFrames().video.MagnitudeHeight, 720);
}

TEST(CaptureFrames, AudioTypeDefaultsAndChannels) {
  ApplyAudioMediaType(nullptr, false);
  AudioFormatState& a = CaptureFrames().audio;
  EXPECT_EQ(a.AudioRate, 44100);
  EXPECT_EQ(a.AudioChannels, 2);
  EXPECT_EQ(a.AudioBits, 16);
  WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 6, 48000, 48000 * 12, 12, 16, 0};
  AM_MEDIA_TYPE mt{};
  mt.formattype = FORMAT_WaveFormatEx;
  mt.cbFormat = sizeof(wfx);
  mt.pbFormat = reinterpret_cast<BYTE*>(&wfx);
  ApplyAudioMediaType(&mt, true);
  EXPECT_EQ(a.AudioChannels, 6);
  EXPECT_EQ(a.AudioFrameBytes, 12);
  EXPECT_EQ(a.OutputChannels, 2);
  wfx.nSamplesPerSec = 0;  // a rate of zero would divide by zero downstream
  ApplyAudioMediaType(&mt, true);
  EXPECT_EQ(a.AudioRate, 44100);
  wfx = {WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
  ApplyAudioMediaType(&mt, true);
  EXPECT_EQ(a.OutputChannels, 1);
  EXPECT_EQ(a.AudioBits, 8);
}

TEST(CaptureFrames, WithoutResizeTheSampleIsHandedOnUncopied) {
  ResetCapture();
  ApplyVideoMediaType(VideoType(320, 240).mt, false);
  CaptureFrames().scale.TargetWidth = 320;
  CaptureFrames().scale.TargetHeight = 240;
  auto pic = Picture(320, 240, 0, 10);
  EXPECT_EQ(ScaleFrame(pic.data(), static_cast<long>(pic.size())), pic.data());
  EXPECT_FALSE(ConvertToPlanes(pic.data(), static_cast<long>(pic.size()) - 1)) << "short sample refused";
  EXPECT_TRUE(ConvertToPlanes(pic.data(), static_cast<long>(pic.size())));
}

TEST(CaptureFrames, FullPictureAndCentreCropScaleToTheTarget) {
  ResetCapture();
  ApplyVideoMediaType(VideoType(720, 576).mt, false);
  // Bright band in the leftmost 10 % (outside a 0.1 crop) and in columns 360-380.
  auto pic = Picture(720, 576, 0, 72);
  for (int y = 0; y < 576; ++y)
    for (int x = 360; x < 380; ++x) pic[(y * 720 + x) * 2] = 235;
  ASSERT_TRUE(ConvertToPlanes(pic.data(), static_cast<long>(pic.size())));
  ScaleSettings& s = CaptureFrames().scale;
  s.NeedResize = true;
  s.TargetWidth = 480;
  s.TargetHeight = 272;
  const std::uint8_t* out = ScaleFrame(pic.data(), static_cast<long>(pic.size()));
  ASSERT_EQ(out, CaptureFrames().buffers.output.data());
  EXPECT_GT(LumaAt(out, 480, 10, 136), 200);   // left band, scaled by 2/3
  EXPECT_LT(LumaAt(out, 480, 100, 136), 40);
  EXPECT_GT(LumaAt(out, 480, 246, 136), 200);  // band at 360-380 -> 240-253

  s.Crop = CropFractions{0.1, 0.1, 0.9, 0.9};
  out = ScaleFrame(pic.data(), static_cast<long>(pic.size()));
  // Crop x = 72, width 576: the left band is gone, the centre band sits at
  // (360 - 72) x 480 / 576 = 240.
  EXPECT_LT(LumaAt(out, 480, 2, 136), 40);
  EXPECT_GT(LumaAt(out, 480, 245, 136), 200);
}

// The shrink is judged on the crop window against the picture's columns of
// the target, both ways.
TEST(CaptureFrames, ShrinkToHalfCountsTheCropAndThePictureColumns) {
  struct Case {
    int w, h, W, H;
    CropFractions crop;
    int pictureWidth;
    bool shrinks;
  };
  const CropFractions whole;
  for (const Case& c : {Case{1920, 1080, 368, 208, whole, 0, true}, Case{640, 480, 320, 240, whole, 0, true},
                        Case{720, 576, 480, 272, whole, 0, false}, Case{642, 480, 322, 240, whole, 0, false},
                        Case{1920, 1080, 368, 208, {0.4, 0, 0.6, 1}, 0, false},
                        Case{1920, 1080, 368, 208, {0, 0.4, 1, 0.6}, 0, false},
                        Case{600, 800, 320, 240, whole, 180, true}, Case{300, 400, 320, 240, whole, 180, false}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " to " << c.W << "x" << c.H);
    ResetCapture();
    ApplyVideoMediaType(VideoType(c.w, c.h).mt, false);
    ScaleSettings& s = CaptureFrames().scale;
    s.TargetWidth = c.W;
    s.TargetHeight = c.H;
    s.Crop = c.crop;
    s.PictureLeft = c.pictureWidth ? ((c.W - c.pictureWidth) / 2) & ~1 : 0;
    s.PictureWidth = c.pictureWidth;
    EXPECT_EQ(ShrinksToHalfOrLess(), c.shrinks);
  }
}

TEST(CaptureFrames, TargetLargerThanSourceAndFilterStayInsideTheBuffers) {
  ResetCapture();
  ApplyVideoMediaType(VideoType(320, 240).mt, false);
  auto pic = Picture(320, 240, 100, 140, 50, 60);
  ASSERT_TRUE(ConvertToPlanes(pic.data(), static_cast<long>(pic.size())));
  ScaleSettings& s = CaptureFrames().scale;
  s.NeedResize = true;
  s.TargetWidth = 1280;
  s.TargetHeight = 720;
  s.FilterSwitch = 4;
  s.FilterStrength = 0.5;
  const std::uint8_t* out = ScaleFrame(pic.data(), static_cast<long>(pic.size()));
  ASSERT_NE(out, nullptr);
  EXPECT_GT(LumaAt(out, 1280, 480, 400), 200);  // column band 100-140 -> 400-560
  EXPECT_GT(LumaAt(out, 1280, 50, 165), 200);   // row band 50-60 -> 150-180
  EXPECT_LT(LumaAt(out, 1280, 50, 400), 40);
}

TEST(CaptureFrames, PreviewThinningKeepsOneFrameInFour) {
  CaptureFrameState& c = CaptureFrames();
  c.PreviewCounter = -1;
  EXPECT_TRUE(KeepPreviewFrame());
  int kept = 0;
  for (c.PreviewCounter = 1; c.PreviewCounter <= 40; ++c.PreviewCounter) kept += KeepPreviewFrame();
  EXPECT_EQ(kept, 10);
}

namespace {
// A decoder's kept picture of full-range BT.709 4:2:0 planes (w x h), as the
// video decoder delivers it: packed (and *packed set) only when read.
struct KeptPicture {
  std::vector<std::uint8_t> y, u, v;
  LumPlanarPicture planes;
  bool packed = false;
  MediaSample* sample = nullptr;
  KeptPicture(int w, int h) : y(static_cast<size_t>(w) * h), u(static_cast<size_t>(w / 2) * (h / 2)), v(u.size()) {
    planes.planes[0] = y.data();
    planes.planes[1] = u.data();
    planes.planes[2] = v.data();
    planes.strides[0] = w;
    planes.strides[1] = planes.strides[2] = w / 2;
    planes.width = w;
    planes.height = h;
    planes.chromaRowShift = 1;
    planes.converts = true;
    planes.colour = LumMakeColourMap(LumYuvColour{true, 0.2126, 0.0722}, kLumStudioBt601);
    sample = new MediaSample(static_cast<size_t>(w) * h * 2, planes, [this, w, h](BYTE* dst) {
      packed = true;
      LumPlanarToPacked422(y.data(), w, u.data(), w / 2, v.data(), w / 2, 1, dst, w * 2, w, h, planes.Colour());
    });
    sample->AddRef();
    sample->SetActualDataLength(w * h * 2);
  }
  KeptPicture(const KeptPicture&) = delete;
  KeptPicture& operator=(const KeptPicture&) = delete;
  ~KeptPicture() { sample->Release(); }
};
}  // namespace

// A decoder's kept picture (full-range 4:2:0 planes, packed only when read)
// scales straight from its planes: the output matches what the packed,
// converted bytes give, the colour is converted once scaled, the side bars
// stay black, and nothing is packed at full size.
TEST(CaptureFrames, AKeptPictureScalesFromItsPlanesWithoutPacking) {
  ResetCapture();
  const int w = 720, h = 576;
  ApplyVideoMediaType(VideoType(w, h).mt, false);
  KeptPicture kept(w, h);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) kept.y[static_cast<size_t>(row) * w + x] = x < w / 3 ? 0 : x < 2 * w / 3 ? 128 : 255;
  // Coloured thirds left and right, neutral grey in the middle.
  for (size_t i = 0; i < kept.u.size(); ++i) {
    const size_t x = i % (w / 2);
    kept.u[i] = static_cast<std::uint8_t>(x < w / 6 ? 90 : x < w / 3 ? 128 : 160);
    kept.v[i] = static_cast<std::uint8_t>(x < w / 6 ? 200 : x < w / 3 ? 128 : 60);
  }
  ScaleSettings& s = CaptureFrames().scale;
  s.NeedResize = true;
  s.TargetWidth = 368;
  s.TargetHeight = 208;
  s.PictureLeft = 40;
  s.PictureWidth = 288;
  s.Crop = CropFractions{0.1, 0.1, 0.9, 0.9};

  SamplePicture picture(kept.sample);
  ASSERT_NE(picture.Planes(), nullptr);
  const std::uint8_t* out = ScaleFrame(picture);
  ASSERT_EQ(out, CaptureFrames().buffers.output.data());
  EXPECT_FALSE(kept.packed) << "the planes were scaled, the picture never packed";
  const std::vector<std::uint8_t> fromPlanes(out, out + 368 * 208 * 2);

  BYTE* bytes = nullptr;
  ASSERT_EQ(kept.sample->GetPointer(&bytes), S_OK);
  EXPECT_TRUE(kept.packed);
  out = ScaleFrame(bytes, kept.sample->GetActualDataLength());
  int worst = 0;
  for (size_t i = 0; i < fromPlanes.size(); ++i) worst = std::max(worst, std::abs(fromPlanes[i] - out[i]));
  EXPECT_LE(worst, 3) << "scaled from the planes as from the packed bytes";
  for (int row : {0, 100, 207}) {
    EXPECT_EQ(LumaAt(fromPlanes.data(), 368, 10, row), 16) << "left bar";
    EXPECT_EQ(LumaAt(fromPlanes.data(), 368, 360, row), 16) << "right bar";
    EXPECT_EQ(fromPlanes[(row * 368 + 10) * 2 + 1], 128);
  }
  EXPECT_NEAR(LumaAt(fromPlanes.data(), 368, 184, 100), 126, 1) << "full-range grey in studio range";
  EXPECT_EQ(PlanarPictureOf(nullptr), nullptr);
}

// The thumbnail's planes of a large kept picture: shrunk by a whole factor
// to at most 480 wide, the colour converted, and the picture never packed
// for them.
TEST(CaptureFrames, ThumbnailPlanesOfALargeKeptPictureAreShrunkToAtMost480Wide) {
  for (const auto& [w, h, planesW, planesH] : {std::tuple{1920, 1080, 480, 270}, std::tuple{1280, 720, 426, 240},
                                               std::tuple{640, 480, 320, 240}, std::tuple{480, 272, 480, 272}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    ResetCapture();
    ApplyVideoMediaType(VideoType(w, h).mt, false);
    KeptPicture kept(w, h);
    std::fill(kept.y.begin(), kept.y.end(), 128);
    std::fill(kept.u.begin(), kept.u.end(), 128);
    std::fill(kept.v.begin(), kept.v.end(), 128);
    SamplePicture picture(kept.sample);
    ASSERT_TRUE(ConvertToPlanes(picture));
    const CaptureFrameState& c = CaptureFrames();
    EXPECT_TRUE(c.PlanesValid);
    EXPECT_EQ(c.PlanesWidth, planesW);
    EXPECT_EQ(c.PlanesHeight, planesH);
    EXPECT_FALSE(kept.packed);
    // Chroma rows hold half as many samples, at the luma width's stride.
    for (const auto& [row, column] : {std::pair{0, 0}, std::pair{planesH / 2, planesW / 2},
                                      std::pair{planesH - 1, planesW - 1}}) {
      const size_t at = static_cast<size_t>(row) * planesW;
      EXPECT_NEAR(c.buffers.srcY[at + column], 126, 1) << "full-range grey in studio range";
      EXPECT_EQ(c.buffers.srcU[at + column / 2], 128);
    }
  }
}
