#include "engine/capture_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <new>

#include "core/diag_log.h"
#include "platform/dshow/filters.h"
#include "platform/lumimg/lumimg.h"

// Every plane, chroma included, uses its picture's luma width as its row
// stride: the split, the scaling, the packing and the thumbnails all read the
// same layout. Chroma rows hold half as many samples.

FrameBuffers::FrameBuffers() {
  Reserve(kStaticFramePixels);
  ReserveTarget(kStaticFramePixels);
}

namespace {
// Grows the buffers to bytesPerPixel x pixels each, keeping what they hold
// unless keep is false (a copy would take memory for the old size).
bool Grow(std::initializer_list<std::pair<FrameBytes*, int>> buffers, long long pixels, int& capacity, bool keep) {
  if (pixels <= capacity) return true;
  try {
    for (const auto& [buffer, bytesPerPixel] : buffers) {
      const size_t bytes = static_cast<size_t>(pixels) * bytesPerPixel;
      if (keep) buffer->resize(bytes);
      else FrameBytes(bytes).swap(*buffer);
    }
  } catch (const std::bad_alloc&) {
    WriteLog("malloc error");
    return false;
  }
  capacity = static_cast<int>(pixels);
  return true;
}
}  // namespace

// The source planes are refilled from the next picture (a new size clears
// PlanesValid); the output may hold the picture last written.
bool FrameBuffers::Reserve(long long pixels) {
  return Grow({{&srcY, 1}, {&srcU, 1}, {&srcV, 1}}, pixels, pixelCapacity, false);
}

bool FrameBuffers::ReserveTarget(long long pixels) {
  return Grow({{&output, 2}, {&dstY, 1}, {&dstU, 1}, {&dstV, 1}}, pixels, targetPixelCapacity, true);
}

CaptureFrameState& CaptureFrames() {
  static CaptureFrameState state;
  return state;
}

namespace {
void TakeFrameTime(VideoFormatState& v, REFERENCE_TIME avgTimePerFrame) {
  const double t = avgTimePerFrame * 1e-7;
  v.ActualFrameTime = v.AverageFrameTime = v.SlowAverageFrameTime = v.NominalFrameTime = t;
  if (t > 0.0166 && t <= 0.1) {
    v.bFixedFrameTime = true;
    v.FixedFrameTime = static_cast<float>(t);
  }
}

std::optional<double> ApplyVideoInfo(const VIDEOINFOHEADER& vih) {
  VideoFormatState& v = CaptureFrames().video;
  v.bVideoInfo2 = false;
  const int w = vih.bmiHeader.biWidth, h = vih.bmiHeader.biHeight;
  const bool sizeChanged = !(w == v.SourceWidth && h == v.SourceHeight);
  v.AspectX = w;
  v.AspectY = h;
  v.SourceWidth = w;
  v.SourceHeight = h;
  v.RowBytes = std::abs(w) * 2;
  TakeFrameTime(v, vih.AvgTimePerFrame);
  if (CaptureFrames().DebugLevel > 0)
    WriteLog("Movie resolution (input): %d %d; SRC: %dx%d; TGT:%dx%d frametime:%g\n", w, h,
             static_cast<int>(vih.rcSource.right), static_cast<int>(vih.rcSource.bottom),
             static_cast<int>(vih.rcTarget.right), static_cast<int>(vih.rcTarget.bottom), v.ActualFrameTime.load());
  if (v.AspectY != 0 && sizeChanged) return static_cast<double>(v.AspectX) / v.AspectY;
  return std::nullopt;
}

void LogInterlace(DWORD flags) {
  if (!(flags & 1)) WriteLog("NOT interlaced");
  else if (flags == 1) WriteLog("Interleaved BOB only");
  else WriteLog("Interleaved ???");
}

std::optional<double> ApplyVideoInfo2(const VIDEOINFOHEADER2& vih) {
  VideoFormatState& v = CaptureFrames().video;
  v.bVideoInfo2 = true;
  const int w = vih.bmiHeader.biWidth, h = vih.bmiHeader.biHeight;
  v.SourceWidth = w;
  v.SourceHeight = h;
  v.RowBytes = std::abs(w) * 2;
  const int ax = static_cast<int>(vih.dwPictAspectRatioX), ay = static_cast<int>(vih.dwPictAspectRatioY);
  const bool aspectChanged = !(ax == v.AspectX && ay == v.AspectY);
  v.AspectX = ax;
  v.AspectY = ay;
  TakeFrameTime(v, vih.AvgTimePerFrame);
  if (CaptureFrames().DebugLevel > 0)
    WriteLog("Movie resolution (input): %d %d; SRC: %dx%d; TGT:%dx%d; frame_time:%g;  %d:%d", w, h,
             static_cast<int>(vih.rcSource.right), static_cast<int>(vih.rcSource.bottom),
             static_cast<int>(vih.rcTarget.right), static_cast<int>(vih.rcTarget.bottom), v.ActualFrameTime.load(), ax,
             ay);
  // The source rectangle selects part of the bitmap; one reaching outside it
  // describes pixels the sample does not hold, and is ignored.
  if (vih.rcSource.right > 0 && vih.rcSource.right <= std::abs(w) && vih.rcSource.bottom > 0 &&
      vih.rcSource.bottom <= std::abs(h)) {
    v.SourceWidth = vih.rcSource.right;
    v.SourceHeight = vih.rcSource.bottom;
  }
  LogInterlace(vih.dwInterlaceFlags);
  if (aspectChanged && ay != 0) return static_cast<double>(ax) / ay;
  return std::nullopt;
}
}  // namespace

std::optional<double> ApplyVideoMediaType(const AM_MEDIA_TYPE& mt, bool fromSample) {
  CaptureFrameState& c = CaptureFrames();
  if (fromSample && c.DebugLevel > 0) {
    WriteLogLine("");
    WriteLog("Input Type Changed ........");
  }
  std::optional<double> aspect;
  if (mt.formattype == FORMAT_VideoInfo && mt.pbFormat && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
    aspect = ApplyVideoInfo(*reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat));
  else if (mt.formattype == FORMAT_VideoInfo2 && mt.pbFormat && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
    aspect = ApplyVideoInfo2(*reinterpret_cast<const VIDEOINFOHEADER2*>(mt.pbFormat));
  else
    return std::nullopt;
  VideoFormatState& v = c.video;
  v.MagnitudeWidth = std::abs(v.SourceWidth);
  v.MagnitudeHeight = std::abs(v.SourceHeight);
  const long long pixels = static_cast<long long>(std::abs(v.SourceWidth)) * std::abs(v.SourceHeight);
  if (pixels > kStaticFramePixels) c.buffers.Reserve(pixels);
  c.PlanesValid = false;
  return aspect;
}

void ApplyAudioMediaType(const AM_MEDIA_TYPE* mt, bool fromSample) {
  CaptureFrameState& c = CaptureFrames();
  AudioFormatState& a = c.audio;
  if (fromSample && c.DebugLevel > 0) {
    WriteLogLine("");
    WriteLog("Audio Input Type Changed ........");
  }
  const WAVEFORMATEX* wfx = nullptr;
  if (mt && mt->pbFormat && mt->cbFormat >= sizeof(WAVEFORMATEX) - sizeof(WORD))
    wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
  // A format with no rate or no channels would divide by zero later on.
  if (wfx && wfx->nSamplesPerSec > 0 && wfx->nChannels > 0) {
    a.AudioRate = static_cast<int>(wfx->nSamplesPerSec);
    a.AudioChannels = wfx->nChannels;
    a.AudioBits = wfx->wBitsPerSample;
  } else {
    a.AudioRate = 44100;
    a.AudioChannels = 2;
    a.AudioBits = 16;
  }
  a.AudioFrameBytes = a.AudioChannels * 2;
  a.OutputChannels = a.AudioChannels < 2 ? 1 : 2;
  WriteLog("Audio Input sample freq = %d,  %d channels\n", a.AudioRate, a.AudioChannels);
}

namespace {
// Bytes of a decoded row: the bitmap's, at least the picture's.
int SampleRowBytes() {
  const VideoFormatState& v = CaptureFrames().video;
  return std::max(v.RowBytes, std::abs(v.SourceWidth) * 2);
}

// The sample holds the whole picture the type announced.
bool HoldsWholePicture(const std::uint8_t* sample, long sampleBytes) {
  const VideoFormatState& v = CaptureFrames().video;
  const int w = std::abs(v.SourceWidth), h = std::abs(v.SourceHeight);
  if (!sample || w < 2 || h < 1) return false;
  return sampleBytes >= static_cast<long long>(SampleRowBytes()) * (h - 1) + w * 2;
}
}  // namespace

bool ConvertToPlanes(const std::uint8_t* sample, long sampleBytes) {
  CaptureFrameState& c = CaptureFrames();
  const int w = std::abs(c.video.SourceWidth), h = std::abs(c.video.SourceHeight);
  if (!HoldsWholePicture(sample, sampleBytes)) return false;
  if (static_cast<long long>(w) * h > c.buffers.pixelCapacity) return false;
  FrameBuffers& b = c.buffers;
  LumSplitPackedToPlanes(sample, SampleRowBytes(), b.srcY.data(), w, b.srcU.data(), w, b.srcV.data(), w, w, h);
  c.PlanesValid = true;
  c.PlanesWidth = w;
  c.PlanesHeight = h;
  return true;
}

namespace {
int RoundEven(double v) { return static_cast<int>(std::lround(v)) & ~1; }
}  // namespace

bool ResizeNeeded() {
  const CaptureFrameState& c = CaptureFrames();
  const ScaleSettings& s = c.scale;
  if (s.NeedResize) return true;
  const int w = std::abs(c.video.SourceWidth), h = std::abs(c.video.SourceHeight);
  return w != s.TargetWidth || h != s.TargetHeight || c.video.RowBytes != w * 2;
}

PictureColumns PillarboxColumns(int W, int H, double displayAspect) {
  // A hair below 4:3 (rounded sizes) still fills the frame.
  if (W < 4 || H < 1 || !(displayAspect > 0) || displayAspect >= 4.0 / 3.0 - 0.01) return {};
  const int width = std::clamp(RoundEven(H * displayAspect), 2, W);
  if (width >= W - 2) return {};
  return {((W - width) / 2) & ~1, width};
}

namespace {
// The side bars of a pillarboxed frame: black luma, neutral chroma.
void PaintSideBars(FrameBuffers& b, int W, int H, int left, int width) {
  for (int y = 0; y < H; ++y) {
    std::uint8_t* rowY = b.dstY.data() + static_cast<std::ptrdiff_t>(y) * W;
    std::fill(rowY, rowY + left, 16);
    std::fill(rowY + left + width, rowY + W, 16);
    for (auto* plane : {&b.dstU, &b.dstV}) {
      std::uint8_t* row = plane->data() + static_cast<std::ptrdiff_t>(y) * W;
      std::fill(row, row + left / 2, 128);
      std::fill(row + (left + width) / 2, row + W / 2, 128);
    }
  }
}

// Where a scaled picture comes from and goes: the crop window of the w x h
// source, and the picture's columns in the W x H target.
struct ScaleGeometry {
  int cx = 0, cy = 0, cw = 0, ch = 0;
  int left = 0, width = 0;
};

ScaleGeometry GeometryFor(int w, int h) {
  const ScaleSettings& s = CaptureFrames().scale;
  const CropFractions& cr = s.Crop;
  ScaleGeometry g;
  g.cx = RoundEven(w * cr.left);
  g.cy = static_cast<int>(std::lround(h * cr.top));
  g.cw = std::max(RoundEven((cr.right - cr.left) * w), 2);
  g.ch = std::max(static_cast<int>(std::lround((cr.bottom - cr.top) * h)), 1);
  const bool boxed = s.PictureWidth > 0 && s.PictureLeft + s.PictureWidth <= s.TargetWidth;
  g.left = boxed ? s.PictureLeft : 0;
  g.width = boxed ? s.PictureWidth : s.TargetWidth;
  return g;
}

// Makes room for the target and paints its side bars; false when there is
// no room or no target.
bool PrepareTarget(int w, int h, ScaleGeometry& g) {
  CaptureFrameState& c = CaptureFrames();
  const int W = c.scale.TargetWidth, H = c.scale.TargetHeight;
  if (W < 2 || H < 1 || !c.buffers.ReserveTarget(static_cast<long long>(W) * H)) return false;
  g = GeometryFor(w, h);
  if (g.width != W) PaintSideBars(c.buffers, W, H, g.left, g.width);
  return true;
}

// Filters the scaled target planes and packs them into the output buffer,
// converting the picture's colour on the way when it has a map (the side
// bars are black in any colour).
void FinishTarget(const ScaleGeometry& g, const LumColourMap* colour) {
  CaptureFrameState& c = CaptureFrames();
  const ScaleSettings& s = c.scale;
  const int W = s.TargetWidth, H = s.TargetHeight;
  FrameBuffers& b = c.buffers;
  if (s.FilterSwitch) {
    LumFilterPlaneDenoise(static_cast<int>(std::lround(s.FilterStrength * 128)), b.dstY.data(), W, W, H, 7);
    LumFilterPlaneSharpen(s.FilterSwitch, b.dstY.data(), W, W, H, 0);
  }
  LumPackPlanesToPacked(b.dstY.data(), W, b.dstU.data(), W, b.dstV.data(), W, b.output.data(), W * 2, W * 2, H);
  if (colour)
    LumPlanarToPacked422(b.dstY.data() + g.left, W, b.dstU.data() + g.left / 2, W, b.dstV.data() + g.left / 2, W, 0,
                         b.output.data() + 2 * g.left, W * 2, g.width, H, colour);
}

// Crops and scales the packed sample straight into the target planes (one
// pass over the large picture, which is never split), filters them and
// packs them into the output buffer.
bool ScalePlanes(const std::uint8_t* sample, long sampleBytes) {
  const VideoFormatState& v = CaptureFrames().video;
  const int w = std::abs(v.SourceWidth), h = std::abs(v.SourceHeight);
  FrameBuffers& b = CaptureFrames().buffers;
  ScaleGeometry g;
  if (!HoldsWholePicture(sample, sampleBytes) || !PrepareTarget(w, h, g)) return false;
  const int W = CaptureFrames().scale.TargetWidth, H = CaptureFrames().scale.TargetHeight;
  LumCropScalePacked422(sample, w, h, SampleRowBytes(), g.cx, g.cy, g.cw, g.ch, b.dstY.data() + g.left,
                        b.dstU.data() + g.left / 2, b.dstV.data() + g.left / 2, W, g.width, H, 2);
  FinishTarget(g, nullptr);
  return true;
}

// The same from the decoder's own planes: no full-size packing at all, and
// the colour converted on the scaled picture.
bool ScalePlanarPicture(const LumPlanarPicture& p) {
  FrameBuffers& b = CaptureFrames().buffers;
  ScaleGeometry g;
  if (!PrepareTarget(p.width, p.height, g)) return false;
  const int W = CaptureFrames().scale.TargetWidth, H = CaptureFrames().scale.TargetHeight;
  LumCropScalePlanar(p, g.cx, g.cy, g.cw, g.ch, b.dstY.data() + g.left, b.dstU.data() + g.left / 2,
                     b.dstV.data() + g.left / 2, W, g.width, H, 2);
  FinishTarget(g, p.Colour());
  return true;
}

// The decoder's planes hold the picture the type announced.
bool PlanesFitSource(const LumPlanarPicture& p) {
  const VideoFormatState& v = CaptureFrames().video;
  return p.width == std::abs(v.SourceWidth) && p.height == std::abs(v.SourceHeight) && p.width >= 2;
}

bool BrightnessActive() {
  const ScaleSettings& s = CaptureFrames().scale;
  return s.BrightnessOffset != 0 || s.BrightnessGain != 1.0;
}

// y x gain + offset on every luma byte of a packed 4:2:2 frame.
void ApplyBrightness(std::uint8_t* yuy2, long long pixels) {
  const ScaleSettings& s = CaptureFrames().scale;
  std::uint8_t lut[256];
  for (int y = 0; y < 256; ++y)
    lut[y] = static_cast<std::uint8_t>(std::clamp(std::lround(y * s.BrightnessGain + s.BrightnessOffset), 0L, 255L));
  for (long long i = 0; i < pixels; ++i) yuy2[2 * i] = lut[yuy2[2 * i]];
}

// A frame for a picture that could not be used: the last one again, or black.
const std::uint8_t* FallbackFrame() {
  CaptureFrameState& c = CaptureFrames();
  const long long pixels = static_cast<long long>(c.scale.TargetWidth) * c.scale.TargetHeight;
  if (pixels <= 0 || !c.buffers.ReserveTarget(pixels)) return nullptr;
  if (!c.OutputValid) {
    for (long long i = 0; i < pixels; ++i) {
      c.buffers.output[2 * i] = 16;
      c.buffers.output[2 * i + 1] = 128;
    }
    c.OutputValid = true;
  }
  return c.buffers.output.data();
}

// The scaled output frame, brightened when asked.
const std::uint8_t* FinishOutput() {
  CaptureFrameState& c = CaptureFrames();
  if (BrightnessActive())
    ApplyBrightness(c.buffers.output.data(), static_cast<long long>(c.scale.TargetWidth) * c.scale.TargetHeight);
  c.OutputValid = true;
  return c.OutputFrame = c.buffers.output.data();
}
}  // namespace

bool ShrinksToHalfOrLess() {
  const CaptureFrameState& c = CaptureFrames();
  const ScaleGeometry g = GeometryFor(c.video.MagnitudeWidth, c.video.MagnitudeHeight);
  return g.width > 0 && c.scale.TargetHeight > 0 && g.cw >= 2 * g.width && g.ch >= 2 * c.scale.TargetHeight;
}

const std::uint8_t* ScaleFrame(const std::uint8_t* sample, long sampleBytes) {
  CaptureFrameState& c = CaptureFrames();
  const long long pixels = static_cast<long long>(c.scale.TargetWidth) * c.scale.TargetHeight;
  if (!ResizeNeeded() && !BrightnessActive()) return c.OutputFrame = sample;
  if (!ResizeNeeded()) {
    // The sample belongs to the graph: the brightness works on a copy.
    if (!sample || !c.buffers.ReserveTarget(pixels)) return c.OutputFrame = FallbackFrame();
    std::copy(sample, sample + pixels * 2, c.buffers.output.begin());
  } else if (!ScalePlanes(sample, sampleBytes)) {
    return c.OutputFrame = FallbackFrame();
  }
  return FinishOutput();
}

const std::uint8_t* ScaleFrame(SamplePicture& picture) {
  const LumPlanarPicture* planes = picture.Planes();
  if (!planes || !ResizeNeeded() || !PlanesFitSource(*planes)) return ScaleFrame(picture.Packed(), picture.Bytes());
  if (!ScalePlanarPicture(*planes)) return CaptureFrames().OutputFrame = FallbackFrame();
  return FinishOutput();
}

namespace {
// Converts the colour of 4:2:2 planes (stride: the width) in place, a row
// at a time: packed with its map, then split back.
void ConvertPlanesColour(FrameBuffers& b, int w, int h, const LumColourMap& colour) {
  std::vector<std::uint8_t> row(static_cast<size_t>(w) * 2);
  for (int r = 0; r < h; ++r) {
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(r) * w;
    LumPlanarToPacked422(b.srcY.data() + at, w, b.srcU.data() + at, w, b.srcV.data() + at, w, 0, row.data(), w * 2, w,
                         1, &colour);
    LumSplitPackedToPlanes(row.data(), w * 2, b.srcY.data() + at, w, b.srcU.data() + at, w, b.srcV.data() + at, w, w, 1);
  }
}
}  // namespace

bool ConvertToPlanes(SamplePicture& picture) {
  const LumPlanarPicture* p = picture.Planes();
  if (!p || !PlanesFitSource(*p)) return ConvertToPlanes(picture.Packed(), picture.Bytes());
  CaptureFrameState& c = CaptureFrames();
  const int shrink = (p->width + kThumbnailPlanesWidth - 1) / kThumbnailPlanesWidth;
  const int w = shrink > 1 ? std::max((p->width / shrink) & ~1, 2) : p->width;
  const int h = std::max(p->height / shrink, 1);
  if (static_cast<long long>(w) * h > c.buffers.pixelCapacity) return false;
  // Scaled (or copied) from the decoder's planes into 4:2:2, then the
  // colour converted on the result: the whole picture is never packed.
  FrameBuffers& b = c.buffers;
  LumCropScalePlanar(*p, 0, 0, p->width, p->height, b.srcY.data(), b.srcU.data(), b.srcV.data(), w, w, h, 2);
  if (const LumColourMap* colour = p->Colour()) ConvertPlanesColour(b, w, h, *colour);
  c.PlanesValid = true;
  c.PlanesWidth = w;
  c.PlanesHeight = h;
  return true;
}

SamplePicture::SamplePicture(IMediaSample* sample) : sample_(sample), planes_(PlanarPictureOf(sample)) {}

const std::uint8_t* SamplePicture::Packed() {
  if (!fetched_ && sample_) sample_->GetPointer(&packed_);
  fetched_ = true;
  return packed_;
}

long SamplePicture::Bytes() const { return sample_ ? sample_->GetActualDataLength() : 0; }

bool KeepPreviewFrame() {
  const int n = CaptureFrames().PreviewCounter;
  return n < 0 || n % 4 == 0;
}
